// The native side of the page's window.qvx object. The browser window's
// control raises one web message per request of the page; the module reads
// it (see shared/BridgeProtocol.h for the formats and the reading rules),
// runs the function of its number and posts one reply that settles the
// page's promise.
//
// The module serves two hosts: the runtime, where the payload archive is open
// (ExeZip assigned: "runtime mode"), and a host without such an archive.
// Errors that escape a function (a malformed request, an argument of a wrong
// kind) are never answered to the page: they are reported by the
// application's error report, from the message loop once the browser's
// callback has returned.
#pragma once

#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "shared/BridgeProtocol.h"
#include "shared/BrowserExternalForm.h"
#include "shared/BrowserForm.h"
#include "shared/EdgeEx.h"
#include "shared/ExeZip.h"
#include "shared/ProjectIni.h"

#include <functional>
#include <memory>
#include <string>

namespace Norvane::Shared {

// The error text of a file dialog request that arrives while the same dialog
// is showing (a nested request, served from the dialog's own loop).
inline constexpr std::string_view FileDialogBusyText = "A file dialog is already open";

// The error text of a path argument that holds a NUL character: the system
// would take the path as ending there, so nothing is done with it.
inline constexpr std::string_view InvalidPathText = "Invalid path";

// The version that qvx.hello() answers.
inline constexpr std::string_view BridgeVersion = "2022.5";

// The border style of a "WindowBorder" value (0 none, 1 single, 2 sizeable,
// 3 dialog, 4 tool window, 5 sizeable tool window); values outside 0-5 give
// the default, sizeable.
Platform::Ui::TBorderStyle BorderStyleOfSetting(int Value);

class TBrowserExternalModule : public Platform::Ui::TComponent {
public:
    explicit TBrowserExternalModule(Platform::Ui::TComponent* AOwner = nullptr);
    ~TBrowserExternalModule() override;

    // Members, in this order.
    Platform::Ui::TFileOpenDialog* FileOpenDialog = nullptr;
    Platform::Ui::TFileSaveDialog* FileSaveDialog = nullptr;

    Platform::Ui::TCustomForm* MainForm() const { return FMainForm; }
    void SetMainForm(Platform::Ui::TCustomForm* Value) { FMainForm = Value; }
    Shared::TExeZip* ExeZip() const { return FExeZip; }
    void SetExeZip(Shared::TExeZip* Value) { FExeZip = Value; }
    bool InFullscreen() const { return FInFullscreen; }
    void SetInFullscreen(bool Value) { FInFullscreen = Value; }
    Shared::TProjectIni* ProjectINI() const { return FProjectINI; }
    void SetProjectINI(Shared::TProjectIni* Value) { FProjectINI = Value; }
    TBrowserForm* BrowserForm() const { return FBrowserForm; }
    void SetBrowserForm(TBrowserForm* Value) { FBrowserForm = Value; }
    Platform::Ui::TNotifyEvent OnAppCloseRequest;
    TBrowserExternalForm* BrowserExternalForm() const { return FBrowserExternalForm; }

    void DataModuleCreate(Platform::Ui::TObject* Sender);
    void DataModuleDestroy(Platform::Ui::TObject* Sender);

    // The dispatcher, bound to the browser control's OnWebMessageReceived.
    void EdgeBrowserWebMessageReceived(TCustomEdgeBrowser* Sender, TWebMessageReceivedEventArgs* Args);
    // The same for a message given as the sending document's address and
    // the message's two readings (MessageAsString is the message when it is
    // a plain string, else empty). Errors propagate.
    void HandleWebMessage(const std::string& Source, const std::string& MessageAsString,
                          const std::string& MessageAsJson);

    // Replies, posted through the browser control of BrowserForm.
    void SendReply(const std::string& Uuid, const std::string& Result, bool Success);
    void SendSuccess(const std::string& Uuid, const std::string& Result) { SendReply(Uuid, Result, true); }
    void SendError(const std::string& Uuid, const std::string& Result) { SendReply(Uuid, Result, false); }

    bool IsRuntimeMode() const { return FExeZip != nullptr; }
    TBridgeDispatcher& Dispatcher() { return FDispatcher; }

    // A path of the page: one that begins with "/" is used unchanged; any
    // other is appended to AppDirPath. Nothing is normalised.
    static std::string ResolvePagePath(const std::string& AppDirPath, const std::string& Path);
    // The same with the AppDirPath of BrowserForm (empty without one).
    std::string ResolvePagePath(const std::string& Path) const;

    // The functions: dialogs, files, folders and base64.
    void DialogsOpenFile(const std::string& Uuid, const TJsonValue& Data);
    void DialogsSaveFile(const std::string& Uuid, const TJsonValue& Data);
    void FilesFileExists(const std::string& Uuid, const TJsonValue& Data);
    void FilesDeleteFile(const std::string& Uuid, const TJsonValue& Data);
    void FilesWriteTextFile(const std::string& Uuid, const TJsonValue& Data);
    void FilesExtractFile(const std::string& Uuid, const TJsonValue& Data);
    void FoldersDirExists(const std::string& Uuid, const TJsonValue& Data);
    void FoldersDeleteDir(const std::string& Uuid, const TJsonValue& Data);
    void FoldersGetTempDir(const std::string& Uuid);
    void FoldersGetUserDocumentsDir(const std::string& Uuid);
    void FoldersGetUserDesktopDir(const std::string& Uuid);
    void FoldersGetAppExecutableDir(const std::string& Uuid);
    void FoldersGetAppDataDir(const std::string& Uuid);
    void Base64DecodeToFile(const std::string& Uuid, const TJsonValue& Data);

    // The main menu of the page (kept on BrowserExternalForm and attached to
    // MainForm by the first setItems).
    void MainMenuSetItems(const std::string& Uuid, const TJsonValue& Data);
    void MainMenuUpdateItem(const std::string& Uuid, const TJsonValue& Data);
    // The first item of the subtree of Root (Root first, then its children in
    // order, depth first) whose Tag is Tag; null when none is.
    static Platform::Ui::TMenuItem* FindMenuItemByTag(Platform::Ui::TMenuItem* Root, std::int32_t Tag);
    // The click of an item without children: runs
    // "qvx.events.onMainMenuItemClick(<Tag>);" in the page.
    void MainMenuItemClick(Platform::Ui::TObject* Sender);

    // The functions: application, window, shell and system.
    void Hello(const std::string& Uuid);
    void IsRuntime(const std::string& Uuid);
    void SystemLogoff(const std::string& Uuid);
    void SystemReboot(const std::string& Uuid);
    void SystemShutdown(const std::string& Uuid);
    void AppClose(const std::string& Uuid);
    void AppInFullscreen(const std::string& Uuid);
    void AppEnterFullscreen(const std::string& Uuid);
    void AppExitFullscreen(const std::string& Uuid);
    void AppGetArgs(const std::string& Uuid);
    void WindowGetStyle(const std::string& Uuid);
    void WindowSetStyle(const std::string& Uuid, const TJsonValue& Data);
    void WindowGetState(const std::string& Uuid);
    void WindowSetState(const std::string& Uuid, const TJsonValue& Data);
    void WindowGetTitle(const std::string& Uuid);
    void WindowSetTitle(const std::string& Uuid, const TJsonValue& Data);
    void WindowGetZoom(const std::string& Uuid);
    void WindowSetZoom(const std::string& Uuid, const TJsonValue& Data);
    void ShellExecute(const std::string& Uuid, const TJsonValue& Data);
    void ShellExplore(const std::string& Uuid, const TJsonValue& Data);
    void ShellCommand(const std::string& Uuid, const TJsonValue& Data);
    void ShellWindows(const std::string& Uuid);
    void ThemesGetTheme(const std::string& Uuid);
    void ThemesGetThemes(const std::string& Uuid);
    void ThemesSetTheme(const std::string& Uuid, const TJsonValue& Data);

    // How a refusal is shown (a modal information box); replaceable for tests.
    std::function<void(const std::string& Text)> OnShowRefusal;

private:
    class THost final : public IBridgeHost {
    public:
        explicit THost(TBrowserExternalModule& Module) : FModule(Module) {}
        void PostWebMessageAsJson(const std::string& Json) override;
        void ShowRefusal(const std::string& Text) override;
        bool IsRuntimeMode() const override { return FModule.IsRuntimeMode(); }
        void FocusBrowser() override;

    private:
        TBrowserExternalModule& FModule;
    };

    void RegisterFunctions();
    // Fills Item from the menu item object Object and builds its children;
    // false when the object is no valid menu item (the error is sent then).
    bool BuildMenuItem(const std::string& Uuid, const TJsonValue& Object, Platform::Ui::TMenuItem& Item);
    // Gives Item the picture named Name (archive entry, file beside the
    // program, or the name itself); nothing when none is found.
    void LoadMenuImage(Platform::Ui::TMenuItem& Item, const std::string& Name);
    // True for a path argument that can be used; for one with a NUL byte,
    // replies the error "Invalid path" and is false. Called by every function
    // that touches a path of the page, right after reading it.
    bool AcceptPagePath(const std::string& Uuid, const std::string& Path);
    void EndSession(const std::string& Uuid, unsigned Flags);
    // Writes the bytes made from the "contents" argument to the page path
    // "filePath" (its folders created first) and replies true, or the error.
    void WritePageFile(const std::string& Uuid, const TJsonValue& Data,
                       const std::function<std::string(const std::string&)>& BytesOf);
    void RunFileDialog(const std::string& Uuid, const TJsonValue& Data,
                       Platform::Ui::TCustomFileDialog& Dialog, std::string_view DefaultTitle, bool Save);
    // The browser control of BrowserForm, or null.
    TEdgeBrowser* Browser() const;

    Platform::Ui::TCustomForm* FMainForm = nullptr;
    Shared::TExeZip* FExeZip = nullptr;
    bool FInFullscreen = false;
    Shared::TProjectIni* FProjectINI = nullptr;
    TBrowserForm* FBrowserForm = nullptr;
    TBrowserExternalForm* FBrowserExternalForm = nullptr;
    // Held while the module lives: work that ends on another thread replies
    // only while it is still there.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    THost FHost{*this};
    TBridgeDispatcher FDispatcher{FHost};
};

} // namespace Norvane::Shared
