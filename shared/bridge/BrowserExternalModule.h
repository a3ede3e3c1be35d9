// The native side of the page's window.qvx object. The browser window's
// control hands the module one web message per request of the page (the
// sender's address and the message); the dispatcher reads it (see
// BridgeProtocol.h for the formats), runs the function of its number and
// posts the one reply that settles the page's promise. The functions are
// declared in shared/bridge/Functions.json and served by the member functions
// below, one source file a namespace (Files.cpp, Folders.cpp, ...).
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
#include "shared/ExeZip.h"
#include "shared/ProjectIni.h"
#include "shared/bridge/BridgeArguments.h"
#include "shared/bridge/BridgeDispatcher.h"
#include "shared/bridge/BridgeWorker.h"
#include "shared/bridge/FileTransfers.h"
#include "shared/browser/BrowserExternalForm.h"
#include "shared/browser/BrowserForm.h"
#include "shared/browser/EdgeEx.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Norvane::Shared {

// The error text of a file dialog request that arrives while the same dialog
// is showing (a nested request, served from the dialog's own loop).
inline constexpr std::string_view FileDialogBusyText = "A file dialog is already open";

// The error texts of the files functions that read, list, copy and move.
inline constexpr std::string_view FileNotFoundText = "File not found";
inline constexpr std::string_view NotAFileText = "Not a file";
inline constexpr std::string_view FolderNotFoundText = "Folder not found";
inline constexpr std::string_view NotAFolderText = "Not a folder";
inline constexpr std::string_view TargetExistsText = "The target exists";
inline constexpr std::string_view TargetIsFolderText = "The target is a folder";
inline constexpr std::string_view SameFileText = "The source and the target are the same file";
inline constexpr std::string_view FolderIntoItselfText = "A folder cannot be moved into itself";
inline constexpr std::string_view FolderAcrossFileSystemsText =
    "A folder cannot be moved to another file system";
inline constexpr std::string_view FileTooLargeText = "The file is larger than 256 MiB";
inline constexpr std::string_view TooManyEntriesText = "The folder has more than 100000 entries";

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
    // Also serves the window's transfer addresses (OnPageRequest).
    void SetBrowserForm(TBrowserForm* Value);
    Platform::Ui::TNotifyEvent OnAppCloseRequest;
    TBrowserExternalForm* BrowserExternalForm() const { return FBrowserExternalForm; }

    void DataModuleCreate(Platform::Ui::TObject* Sender);
    void DataModuleDestroy(Platform::Ui::TObject* Sender);

    // One web message of the page, given as the sending document's address and
    // the message's two readings (MessageAsString is the message when it is
    // a plain string, else empty), as the browser window's OnPageMessage
    // hands it: errors go to the application's error report from the
    // message loop.
    void ReceiveWebMessage(const std::string& Source, const std::string& MessageAsString,
                           const std::string& MessageAsJson);
    // The same, where errors propagate.
    void HandleWebMessage(const std::string& Source, const std::string& MessageAsString,
                          const std::string& MessageAsJson);

    // A reply, posted through the browser control of BrowserForm.
    void SendReply(const std::string& Uuid, const std::string& Result, bool Success);

    bool IsRuntimeMode() const { return FExeZip != nullptr; }
    TBridgeDispatcher& Dispatcher() { return FDispatcher; }

    // A path of the page: one that begins with "/" is used unchanged; any
    // other is appended to AppDirPath. Nothing is normalised.
    static std::string ResolvePagePath(const std::string& AppDirPath, const std::string& Path);
    // The same with the AppDirPath of BrowserForm (empty without one).
    std::string ResolvePagePath(const std::string& Path) const;

    // The functions, one member function a row of the function table (its
    // "handler"), each defined in the source file of its namespace.
#define NORVANE_BRIDGE_FUNCTION(Id, Name, TakesArguments, RuntimeOnly, RefusalName, Handler, Arguments,      \
                                Result, Description)                                                         \
    TBridgeResult Handler(const TBridgeCall& Call);
#include "bridge/BridgeTable.inc"
#undef NORVANE_BRIDGE_FUNCTION

    // Serves a request of the page for a transfer address (see
    // FileTransfers.h); nothing for any other address.
    std::optional<TBrowserResource> ServeTransfer(const TPageRequest& Request);

    // The main menu of the page is kept on BrowserExternalForm and attached
    // to MainForm by the first setItems.
    // The first item of the subtree of Root (Root first, then its children in
    // order, depth first) whose Tag is Tag; null when none is.
    static Platform::Ui::TMenuItem* FindMenuItemByTag(Platform::Ui::TMenuItem* Root, std::int32_t Tag);
    // The click of an item without children: runs
    // "qvx.events.onMainMenuItemClick(<Tag>);" in the page.
    void MainMenuItemClick(Platform::Ui::TObject* Sender);

    // The processes the page starts (Process.cpp); they are ended with the module.
    struct TProcessEntry;
    struct TProcessTable;

    // The host's events, run as "qvx.events.<handler>(...);" in an
    // application document (Events.cpp); the main window calls them.
    // Resizes and moves are reported once the bounds stay for a moment.
    void WindowPlaceChanged();
    void WindowStateChanged();
    void WindowFocusChanged(bool Focused);
    void SecondInstanceStarted(const std::vector<std::string>& Arguments);
    void ThemeChanged();
    // Local files the user dropped on the window, in the drop's order.
    void FilesDropped(const std::vector<std::string>& Paths);

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
    // an object that is no valid menu item raises EBridgeFailure.
    void BuildMenuItem(const TJsonValue& Object, Platform::Ui::TMenuItem& Item);
    // Gives Item the picture named Name (archive entry, file beside the
    // program, or the name itself); nothing when none is found.
    void LoadMenuImage(Platform::Ui::TMenuItem& Item, const std::string& Name);
    TBridgeResult EndSession(const TBridgeCall& Call, unsigned Flags);
    // Writes the bytes made from the "contents" argument to the page path
    // "filePath" (its folders created first): true, or the error.
    TBridgeResult WritePageFile(const TBridgeCall& Call,
                                const std::function<std::string(const std::string&)>& BytesOf);
    // Runs Work on the bridge's worker thread, after the work handed over
    // before, and replies its result from the main loop while the module
    // lives. Work reads nothing of the module. Gives NoReply for the caller
    // to return.
    TBridgeResult ReplyFromWorker(const TBridgeCall& Call, std::function<TBridgeResult()> Work);
    // Replies Result to the call Uuid from the main loop, if the module still
    // lives then; for work that ends on another thread.
    void QueueReply(const std::string& Uuid, TBridgeResult Result);
    TBridgeResult RunFileDialog(const TJsonValue& Data, Platform::Ui::TCustomFileDialog& Dialog,
                                std::string_view DefaultTitle, bool Save);
    // The browser control of BrowserForm, or null.
    TEdgeBrowser* Browser() const;
    // Runs Script in the page; Done (on the UI thread) once it has run, or at
    // once without a page.
    void RunPageScript(const std::string& Script, std::function<void()> Done);
    void RaiseEvent(std::string_view Handler, const std::string& Arguments);
    void DrainProcessOutput(const std::shared_ptr<TProcessEntry>& Entry);
    // The running process named by the call's "id"; refused with "Missing id"
    // or "No such process".
    std::shared_ptr<TProcessEntry> FindProcess(const TBridgeCall& Call);

    Platform::Ui::TCustomForm* FMainForm = nullptr;
    Shared::TExeZip* FExeZip = nullptr;
    bool FInFullscreen = false;
    Shared::TProjectIni* FProjectINI = nullptr;
    TBrowserForm* FBrowserForm = nullptr;
    TBrowserExternalForm* FBrowserExternalForm = nullptr;
    unsigned FPlaceTimer = 0;
    int FReportedLeft = 0, FReportedTop = 0, FReportedWidth = 0, FReportedHeight = 0;
    // Held while the module lives: work that ends on another thread replies
    // only while it is still there.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    TFileTransfers FFileTransfers;
    THost FHost{*this};
    TBridgeDispatcher FDispatcher{FHost};
    // Ends the processes when it goes (Process.cpp).
    struct TProcessTableDeleter {
        void operator()(TProcessTable* Table) const;
    };
    void CreateProcessTable();
    std::unique_ptr<TProcessTable, TProcessTableDeleter> FProcesses;
    // Last, so that it finishes its work first when the module goes.
    TBridgeWorker FWorker;
};

} // namespace Norvane::Shared
