#include "shared/BrowserExternalModule.h"

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/System.h"
#include "platform/ui/Application.h"
#include "shared/StrUtils.h"
#include "shared/Streams.h"
#include "shared/StylesUtils.h"
#include "shared/SysUtils.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

namespace Norvane::Shared {

using namespace Platform::Ui;
using namespace WebView2;

TBorderStyle BorderStyleOfSetting(int Value) {
    switch (Value) {
    case 0:
        return TBorderStyle::bsNone;
    case 1:
        return TBorderStyle::bsSingle;
    case 3:
        return TBorderStyle::bsDialog;
    case 4:
        return TBorderStyle::bsToolWindow;
    case 5:
        return TBorderStyle::bsSizeToolWin;
    default:
        return TBorderStyle::bsSizeable;
    }
}

TBrowserExternalModule::TBrowserExternalModule(TComponent* AOwner) : TComponent(AOwner) {
    FileOpenDialog = new TFileOpenDialog(this);
    FileOpenDialog->SetName("FileOpenDialog");
    FileSaveDialog = new TFileSaveDialog(this);
    FileSaveDialog->SetName("FileSaveDialog");
    RegisterFunctions();
    DataModuleCreate(this);
}

TBrowserExternalModule::~TBrowserExternalModule() {
    DataModuleDestroy(this);
}

void TBrowserExternalModule::DataModuleCreate(TObject*) {
    FExeZip = nullptr;
    FMainForm = nullptr;
    FProjectINI = nullptr;
    FBrowserForm = nullptr;
    OnAppCloseRequest = nullptr;
    FInFullscreen = false;
    FBrowserExternalForm = TCustomForm::Create<TBrowserExternalForm>(nullptr);
}

void TBrowserExternalModule::DataModuleDestroy(TObject*) {
    FExeZip = nullptr;
    FMainForm = nullptr;
    FProjectINI = nullptr;
    FBrowserForm = nullptr;
    OnAppCloseRequest = nullptr;
    delete FBrowserExternalForm;
    FBrowserExternalForm = nullptr;
}

namespace {

// Where a function runs: everywhere, or only at runtime, refused elsewhere
// with the text that names RefusalName (the function's own name when empty).
struct TScope {
    bool RuntimeOnly = false;
    std::string_view RefusalName;
};
constexpr TScope Anywhere{};
constexpr TScope AtRuntime{true, {}};

TBridgeFunction Describe(std::int32_t Id, std::string_view Name, bool TakesArguments, TScope Scope) {
    return {Id, std::string(Name), TakesArguments, Scope.RuntimeOnly,
            Scope.RuntimeOnly ? RuntimeOnlyRefusal(Scope.RefusalName.empty() ? Name : Scope.RefusalName)
                              : std::string()};
}

} // namespace

void TBrowserExternalModule::RegisterFunctions() {
    using M = TBrowserExternalModule;
    using TPlain = void (M::*)(const std::string&);
    using TWithData = void (M::*)(const std::string&, const TJsonValue&);
    // One registration a function: its number, its name in the page's script
    // library, where it runs, and its handler (which takes the request's data
    // when the library's wrapper passes the page's argument object).
    auto plain = [this](std::int32_t Id, std::string_view Name, TScope Scope, TPlain Function) {
        FDispatcher.Register(
            Describe(Id, Name, false, Scope),
            [this, Function](const std::string& Uuid, const TJsonValue&) { (this->*Function)(Uuid); });
    };
    auto withData = [this](std::int32_t Id, std::string_view Name, TScope Scope, TWithData Function) {
        FDispatcher.Register(Describe(Id, Name, true, Scope),
                             [this, Function](const std::string& Uuid, const TJsonValue& Data) {
                                 (this->*Function)(Uuid, Data);
                             });
    };
    plain(10001, "qvx.hello", Anywhere, &M::Hello);
    plain(10002, "qvx.isRuntime", Anywhere, &M::IsRuntime);
    plain(11001, "qvx.system.logoff", AtRuntime, &M::SystemLogoff);
    plain(11002, "qvx.system.reboot", AtRuntime, &M::SystemReboot);
    plain(11003, "qvx.system.shutdown", AtRuntime, &M::SystemShutdown);
    withData(12001, "qvx.mainMenu.setItems", AtRuntime, &M::MainMenuSetItems);
    withData(12002, "qvx.mainMenu.updateItem", AtRuntime, &M::MainMenuUpdateItem);
    withData(20001, "qvx.dialogs.openFile", Anywhere, &M::DialogsOpenFile);
    withData(20002, "qvx.dialogs.saveFile", Anywhere, &M::DialogsSaveFile);
    withData(30001, "qvx.files.fileExists", Anywhere, &M::FilesFileExists);
    withData(30002, "qvx.files.deleteFile", Anywhere, &M::FilesDeleteFile);
    withData(30003, "qvx.files.writeTextFile", Anywhere, &M::FilesWriteTextFile);
    // Its refusal names it qvx.app.extractFile.
    withData(30004, "qvx.files.extractFile", TScope{true, "qvx.app.extractFile"}, &M::FilesExtractFile);
    withData(40001, "qvx.folders.dirExists", Anywhere, &M::FoldersDirExists);
    withData(40002, "qvx.folders.deleteDir", Anywhere, &M::FoldersDeleteDir);
    plain(40003, "qvx.folders.getTempDir", Anywhere, &M::FoldersGetTempDir);
    plain(40004, "qvx.folders.getUserDocumentsDir", Anywhere, &M::FoldersGetUserDocumentsDir);
    plain(40005, "qvx.folders.getUserDesktopDir", Anywhere, &M::FoldersGetUserDesktopDir);
    plain(40006, "qvx.folders.getAppExecutableDir", Anywhere, &M::FoldersGetAppExecutableDir);
    plain(40007, "qvx.folders.getAppDataDir", Anywhere, &M::FoldersGetAppDataDir);
    plain(50001, "qvx.app.close", Anywhere, &M::AppClose);
    plain(50002, "qvx.app.inFullscreen", Anywhere, &M::AppInFullscreen);
    plain(50003, "qvx.app.enterFullscreen", AtRuntime, &M::AppEnterFullscreen);
    plain(50004, "qvx.app.exitFullscreen", AtRuntime, &M::AppExitFullscreen);
    plain(50005, "qvx.app.getArgs", AtRuntime, &M::AppGetArgs);
    plain(60001, "qvx.window.getStyle", Anywhere, &M::WindowGetStyle);
    withData(60002, "qvx.window.setStyle", Anywhere, &M::WindowSetStyle);
    plain(60003, "qvx.window.getState", Anywhere, &M::WindowGetState);
    withData(60004, "qvx.window.setState", Anywhere, &M::WindowSetState);
    plain(60005, "qvx.window.getTitle", Anywhere, &M::WindowGetTitle);
    withData(60006, "qvx.window.setTitle", Anywhere, &M::WindowSetTitle);
    plain(60007, "qvx.window.getZoom", Anywhere, &M::WindowGetZoom);
    withData(60008, "qvx.window.setZoom", Anywhere, &M::WindowSetZoom);
    withData(70001, "qvx.shell.execute", Anywhere, &M::ShellExecute);
    withData(70002, "qvx.shell.explore", Anywhere, &M::ShellExplore);
    withData(70003, "qvx.shell.command", Anywhere, &M::ShellCommand);
    plain(70004, "qvx.shell.windows", Anywhere, &M::ShellWindows);
    plain(80001, "qvx.themes.getTheme", AtRuntime, &M::ThemesGetTheme);
    plain(80002, "qvx.themes.getThemes", AtRuntime, &M::ThemesGetThemes);
    withData(80003, "qvx.themes.setTheme", AtRuntime, &M::ThemesSetTheme);
    withData(90001, "qvx.base64.decodeToFile", Anywhere, &M::Base64DecodeToFile);
}

TEdgeBrowser* TBrowserExternalModule::Browser() const {
    return FBrowserForm ? FBrowserForm->EdgeBrowser() : nullptr;
}

void TBrowserExternalModule::EdgeBrowserWebMessageReceived(TCustomEdgeBrowser*,
                                                           TWebMessageReceivedEventArgs* Args) {
    ICoreWebView2WebMessageReceivedEventArgs* args = Args->ArgsInterface();
    // A text of the arguments; empty when the engine gives none (a message
    // that is no string has no string reading).
    auto read = [args](HRESULT (NV_STDCALL ICoreWebView2WebMessageReceivedEventArgs::*Get)(char**)) {
        char* text = nullptr;
        const bool ok = (args->*Get)(&text) >= 0;
        std::string value = TakeEngineText(text);
        return ok ? value : std::string();
    };
    try {
        const std::string sourceAddress = read(&ICoreWebView2WebMessageReceivedEventArgs::get_Source);
        const std::string asString =
            read(&ICoreWebView2WebMessageReceivedEventArgs::TryGetWebMessageAsString);
        const std::string asJson = read(&ICoreWebView2WebMessageReceivedEventArgs::get_WebMessageAsJson);
        HandleWebMessage(sourceAddress, asString, asJson);
    } catch (...) {
        // Reported from the message loop, after the browser's callback returned.
        Application().Queue([error = std::current_exception()] { Application().HandleException(error); });
    }
}

void TBrowserExternalModule::HandleWebMessage(const std::string& Source, const std::string& MessageAsString,
                                              const std::string& MessageAsJson) {
    FDispatcher.HandleWebMessage(Source, MessageAsString, MessageAsJson);
}

void TBrowserExternalModule::SendReply(const std::string& Uuid, const std::string& Result, bool Success) {
    FDispatcher.SendReply(Uuid, Result, Success);
}

void TBrowserExternalModule::THost::PostWebMessageAsJson(const std::string& Json) {
    TBrowserForm* browserForm = FModule.FBrowserForm;
    TEdgeBrowser* browser = browserForm ? browserForm->EdgeBrowser() : nullptr;
    if (ICoreWebView2* view = browser ? browser->DefaultInterface() : nullptr)
        view->PostWebMessageAsJson(Json.c_str());
}

void TBrowserExternalModule::THost::ShowRefusal(const std::string& Text) {
    if (FModule.OnShowRefusal) {
        FModule.OnShowRefusal(Text);
        return;
    }
    MessageDlg(Text, TMsgDlgType::mtInformation, {TMsgDlgBtn::mbOK});
}

void TBrowserExternalModule::THost::FocusBrowser() {
    TBrowserForm* browserForm = FModule.FBrowserForm;
    if (!browserForm)
        return;
    if (TWinControl* host = browserForm->Parent())
        host->SetFocus();
    if (TEdgeBrowser* browser = browserForm->EdgeBrowser())
        browser->SetFocus();
}

void TBrowserExternalModule::Hello(const std::string& Uuid) {
    SendSuccess(Uuid, PlainJsonString(BridgeVersion));
}

void TBrowserExternalModule::IsRuntime(const std::string& Uuid) {
    SendSuccess(Uuid, IsRuntimeMode() ? "true" : "false");
}

// ---------------------------------------------------------------------------
// Dialogs, files, folders and base64.

namespace {

namespace fs = std::filesystem;
using Platform::PathFromUtf8;
using Platform::Utf8FromPath;

constexpr const char* MissingFilePath = "\"Missing filePath\"";
constexpr const char* MissingDirPath = "\"Missing dirPath\"";

// Creates the folder of a file and its missing parents; failures are left to
// the write that follows.
void ForceFolderOf(const std::string& FilePath) {
    const fs::path folder = PathFromUtf8(FilePath).parent_path();
    if (folder.empty())
        return;
    std::error_code ec;
    fs::create_directories(folder, ec);
}

// The folder part of a path, with its trailing "/".
std::string FolderPart(const std::string& Path) {
    const std::size_t slash = Path.rfind('/');
    return slash == std::string::npos ? std::string("/") : Path.substr(0, slash + 1);
}

void WriteAll(TFileStream& Stream, std::string_view Bytes) {
    if (!Bytes.empty() && Stream.Write(Bytes.data(), static_cast<std::int64_t>(Bytes.size())) !=
                              static_cast<std::int64_t>(Bytes.size()))
        throw EStreamError("Error writing to file \"" + Stream.FileName() + "\"");
}

// The text as lines broken at CR LF, CR or LF, each ended by CR LF; a last
// piece without a line break is a line when it is not empty.
std::string WithCrLfLines(std::string_view Text) {
    std::string out;
    out.reserve(Text.size() + Text.size() / 8 + 2);
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] != '\r' && Text[i] != '\n')
            continue;
        out.append(Text.substr(lineStart, i - lineStart));
        out.append("\r\n");
        if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
            ++i;
        lineStart = i + 1;
    }
    if (lineStart < Text.size()) {
        out.append(Text.substr(lineStart));
        out.append("\r\n");
    }
    return out;
}

// A file written under a new name in the folder of its path and put in the
// place of that path by Commit, so that a write that fails half-way leaves
// what was at the path before. Not committed, the new file is removed.
class TReplacingFile {
public:
    // Raises EFOpenError, naming Path, when the file cannot be written: an
    // existing one is opened for writing first (without truncating it), so
    // a folder or a file without write permission is refused as when it was
    // written in place.
    explicit TReplacingFile(const std::string& Path) : FPath(PathFromUtf8(Path)) {
        std::error_code ec;
        // Through a link, the file that the link names is replaced.
        if (fs::is_symlink(fs::symlink_status(FPath, ec))) {
            const fs::path resolved = fs::weakly_canonical(FPath, ec);
            if (!ec)
                FPath = resolved;
        }
        const fs::file_status existing = fs::status(FPath, ec);
        if (fs::exists(existing))
            TFileStream(Utf8FromPath(FPath), TFileMode::fmOpenReadWrite).Close();
        std::random_device random;
        const std::uint64_t unique = (std::uint64_t{random()} << 32) ^ random();
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.part", static_cast<unsigned long long>(unique));
        FTemp = FPath.parent_path() / PathFromUtf8("." + Utf8FromPath(FPath.filename()) + suffix);
        try {
            FStream = std::make_unique<TFileStream>(Utf8FromPath(FTemp), TFileMode::fmCreate);
        } catch (const EFOpenError& e) {
            // Named as the target, in the words of opening it.
            const std::string what = e.what();
            const std::string lead = "Cannot open file \"" + Utf8FromPath(FTemp) + "\"";
            if (what.compare(0, lead.size(), lead) != 0)
                throw;
            throw EFOpenError("Cannot open file \"" + Path + "\"" + what.substr(lead.size()));
        }
        if (fs::exists(existing))
            fs::permissions(FTemp, existing.permissions(), ec);
    }
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;
    ~TReplacingFile() {
        if (FStream) {
            FStream.reset();
            std::error_code ec;
            fs::remove(FTemp, ec);
        }
    }

    TStream& Stream() { return *FStream; }
    // Closes the new file and renames it to the path; raises when either fails.
    void Commit() {
        FStream->Close();
        fs::rename(FTemp, FPath);
        FStream.reset();
    }

private:
    fs::path FPath;
    fs::path FTemp;
    std::unique_ptr<TFileStream> FStream;
};

} // namespace

std::string TBrowserExternalModule::ResolvePagePath(const std::string& AppDirPath, const std::string& Path) {
    if (!Path.empty() && Path.front() == '/')
        return Path;
    return AppDirPath + Path;
}

std::string TBrowserExternalModule::ResolvePagePath(const std::string& Path) const {
    return ResolvePagePath(FBrowserForm ? FBrowserForm->AppDirPath() : std::string(), Path);
}

bool TBrowserExternalModule::AcceptPagePath(const std::string& Uuid, const std::string& Path) {
    if (Path.find('\0') == std::string::npos)
        return true;
    SendError(Uuid, EscapedJsonString(InvalidPathText));
    return false;
}

void TBrowserExternalModule::RunFileDialog(const std::string& Uuid, const TJsonValue& Data,
                                           TCustomFileDialog& Dialog, std::string_view DefaultTitle,
                                           bool Save) {
    const std::string fileName = ReadTextArg(Data, "fileName");
    const std::string title = ReadTextArg(Data, "title", DefaultTitle);
    const std::string fileTypes = ReadTextArg(Data, "fileTypes");
    const bool overwritePrompt = Save && ReadBoolArg(Data, "overwritePrompt", false);
    // A nested request while this dialog shows leaves the dialog alone, so
    // that the first request gets its own result.
    if (Dialog.Executing()) {
        SendError(Uuid, EscapedJsonString(FileDialogBusyText));
        return;
    }
    Dialog.FileTypes().clear();
    Dialog.SetFileName(fileName);
    Dialog.SetTitle(title);
    if (!fileTypes.empty())
        for (const std::string& entry : TStrUtils::ExplodeStrings(";", fileTypes)) {
            TStringArray pieces = TStrUtils::ExplodeStrings("|", entry);
            if (pieces.size() == 2)
                Dialog.FileTypes().push_back({pieces[0], pieces[1]});
        }
    if (Save) {
        TFileDialogOptions options = Dialog.Options();
        options = overwritePrompt ? (options | fdoOverWritePrompt)
                                  : (options & ~TFileDialogOptions(fdoOverWritePrompt));
        Dialog.SetOptions(options);
    }
    if (Dialog.Execute())
        SendSuccess(Uuid, EscapedJsonString(Dialog.FileName()));
    else
        SendSuccess(Uuid, "\"\"");
}

void TBrowserExternalModule::DialogsOpenFile(const std::string& Uuid, const TJsonValue& Data) {
    RunFileDialog(Uuid, Data, *FileOpenDialog, "Open file", false);
}

void TBrowserExternalModule::DialogsSaveFile(const std::string& Uuid, const TJsonValue& Data) {
    RunFileDialog(Uuid, Data, *FileSaveDialog, "Save file", true);
}

void TBrowserExternalModule::FilesFileExists(const std::string& Uuid, const TJsonValue& Data) {
    const std::string filePath = ReadTextArg(Data, "filePath");
    if (filePath.empty()) {
        SendError(Uuid, MissingFilePath);
        return;
    }
    if (!AcceptPagePath(Uuid, filePath))
        return;
    std::error_code ec;
    const fs::file_status status = fs::status(PathFromUtf8(ResolvePagePath(filePath)), ec);
    SendSuccess(Uuid, fs::exists(status) && !fs::is_directory(status) ? "true" : "false");
}

void TBrowserExternalModule::FilesDeleteFile(const std::string& Uuid, const TJsonValue& Data) {
    const std::string filePath = ReadTextArg(Data, "filePath");
    if (filePath.empty()) {
        SendError(Uuid, MissingFilePath);
        return;
    }
    if (!AcceptPagePath(Uuid, filePath))
        return;
    // A single file (or a link itself); never a folder, even an empty one.
    const std::string path = ResolvePagePath(filePath);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(PathFromUtf8(path), ec);
    const bool deleted =
        fs::exists(status) && !fs::is_directory(status) && fs::remove(PathFromUtf8(path), ec) && !ec;
    SendSuccess(Uuid, deleted ? "true" : "false");
}

void TBrowserExternalModule::WritePageFile(const std::string& Uuid, const TJsonValue& Data,
                                           const std::function<std::string(const std::string&)>& BytesOf) {
    const std::string filePath = ReadTextArg(Data, "filePath");
    if (filePath.empty()) {
        SendError(Uuid, MissingFilePath);
        return;
    }
    if (!AcceptPagePath(Uuid, filePath))
        return;
    const std::string path = ResolvePagePath(filePath);
    ForceFolderOf(path);
    try {
        // Contents of a wrong kind are reported here, like a failed write.
        const std::string bytes = BytesOf(ReadTextArg(Data, "contents"));
        TFileStream file(path, TFileMode::fmCreate);
        WriteAll(file, bytes);
        file.Close();
        SendSuccess(Uuid, "true");
    } catch (const std::exception& e) {
        SendError(Uuid, EscapedJsonString(e.what()));
    }
}

void TBrowserExternalModule::FilesWriteTextFile(const std::string& Uuid, const TJsonValue& Data) {
    WritePageFile(Uuid, Data,
                  [](const std::string& Contents) { return "\xEF\xBB\xBF" + WithCrLfLines(Contents); });
}

void TBrowserExternalModule::FilesExtractFile(const std::string& Uuid, const TJsonValue& Data) {
    const std::string sourceFile = ReadTextArg(Data, "sourceFile");
    const std::string targetFile = ReadTextArg(Data, "targetFile");
    if (sourceFile.empty()) {
        SendError(Uuid, "\"Missing sourceFile\"");
        return;
    }
    if (targetFile.empty()) {
        SendError(Uuid, "\"Missing targetFile\"");
        return;
    }
    if (!AcceptPagePath(Uuid, sourceFile) || !AcceptPagePath(Uuid, targetFile))
        return;
    const std::string dirName =
        FProjectINI ? FProjectINI->ReadString(AppIni::Section, AppIni::DirName, AppIni::DefaultDirName)
                    : std::string(AppIni::DefaultDirName);
    const std::string entryName = dirName + sourceFile;
    // The target is touched only for an entry that exists.
    if (!FExeZip || FExeZip->FindEntry(entryName) < 0) {
        SendError(Uuid, "\"File not found\"");
        return;
    }
    // Relative to the current folder; a target that cannot be written raises
    // out of the function. The entry replaces the target once it is written
    // whole; a failed extraction leaves the target as it was.
    TReplacingFile target(targetFile);
    try {
        FExeZip->ExtractEntry(entryName, target.Stream());
        target.Commit();
        SendSuccess(Uuid, "true");
    } catch (const std::exception& e) {
        SendError(Uuid, PlainJsonString(e.what()));
    }
}

void TBrowserExternalModule::FoldersDirExists(const std::string& Uuid, const TJsonValue& Data) {
    const std::string dirPath = ReadTextArg(Data, "dirPath");
    if (dirPath.empty()) {
        SendError(Uuid, MissingDirPath);
        return;
    }
    if (!AcceptPagePath(Uuid, dirPath))
        return;
    std::error_code ec;
    SendSuccess(Uuid, fs::is_directory(PathFromUtf8(ResolvePagePath(dirPath)), ec) ? "true" : "false");
}

void TBrowserExternalModule::FoldersDeleteDir(const std::string& Uuid, const TJsonValue& Data) {
    const std::string dirPath = ReadTextArg(Data, "dirPath");
    if (dirPath.empty()) {
        SendError(Uuid, MissingDirPath);
        return;
    }
    if (!AcceptPagePath(Uuid, dirPath))
        return;
    SendSuccess(Uuid, TSysUtils::DeleteDirectory(ResolvePagePath(dirPath)) ? "true" : "false");
}

void TBrowserExternalModule::FoldersGetTempDir(const std::string& Uuid) {
    SendSuccess(Uuid, EscapedJsonString(TSysUtils::GetTempDirPath()));
}

void TBrowserExternalModule::FoldersGetUserDocumentsDir(const std::string& Uuid) {
    SendSuccess(Uuid, EscapedJsonString(TSysUtils::GetUserDocumentsDirPath()));
}

void TBrowserExternalModule::FoldersGetUserDesktopDir(const std::string& Uuid) {
    SendSuccess(Uuid, EscapedJsonString(TSysUtils::GetUserDesktopDirPath()));
}

void TBrowserExternalModule::FoldersGetAppExecutableDir(const std::string& Uuid) {
    SendSuccess(Uuid, EscapedJsonString(FolderPart(Platform::ExecutablePath())));
}

void TBrowserExternalModule::FoldersGetAppDataDir(const std::string& Uuid) {
    SendSuccess(Uuid, EscapedJsonString(TSysUtils::GetUserAppDataDirPath()));
}

void TBrowserExternalModule::Base64DecodeToFile(const std::string& Uuid, const TJsonValue& Data) {
    WritePageFile(Uuid, Data, [](const std::string& Contents) { return TStrUtils::DecodeBase64(Contents); });
}

// ---------------------------------------------------------------------------
// The main menu.

namespace {

// The largest picture file a menu item takes.
constexpr std::uintmax_t MaxMenuImageBytes = 16u << 20;

// A key of a menu item object read as text: present and a string, number,
// boolean or null (which reads "null"); false for an absent key, an object
// or an array.
bool ReadMenuText(const TJsonValue& Object, std::string_view Key, std::string& Text) {
    const TJsonValue* value = Object.Find(Key);
    if (!value || value->IsObject() || value->IsArray())
        return false;
    Text = value->Text();
    return true;
}

// "true"/"false" in any letter case, or a number (0 false, any other true);
// anything else raises "'<Text>' is not a valid boolean value".
bool MenuBoolean(const std::string& Text) {
    double number = 0;
    if (TryParseDotFloat(Text, number))
        return number != 0;
    if (TStrUtils::StartsText("true", Text) && Text.size() == 4)
        return true;
    if (TStrUtils::StartsText("false", Text) && Text.size() == 5)
        return false;
    throw EBridgeError("'" + Text + "' is not a valid boolean value");
}

// The id of a menu item: the text as a 32-bit integer, 0 when it is none.
std::int32_t MenuTag(const std::string& Text) {
    std::int32_t tag = 0;
    return TryParseInt32(Text, tag) ? tag : 0;
}

// The bytes of a regular file of at most MaxMenuImageBytes; empty otherwise.
std::string ReadPictureFile(const std::string& Path) {
    std::error_code ec;
    if (!fs::is_regular_file(PathFromUtf8(Path), ec))
        return {};
    const std::uintmax_t size = fs::file_size(PathFromUtf8(Path), ec);
    if (ec || size == 0)
        return {};
    if (size > MaxMenuImageBytes)
        throw EBridgeError("The picture \"" + Path + "\" is larger than 16 MiB");
    const std::vector<std::uint8_t> bytes = ReadFileBytes(Path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

void TBrowserExternalModule::LoadMenuImage(TMenuItem& Item, const std::string& Name) {
    std::string bytes;
    if (FExeZip && FExeZip->FindEntry(Name) >= 0)
        bytes = FExeZip->ExtractEntryToString(Name);
    else if (!Name.empty() && fs::is_regular_file(PathFromUtf8(ResolvePagePath(Name))))
        bytes = ReadPictureFile(ResolvePagePath(Name));
    else if (!Name.empty())
        bytes = ReadPictureFile(Name);
    if (bytes.empty())
        return;
    TImageCollection& collection = *FBrowserExternalForm->MainMenuImageCollection;
    const int index = collection.Count();
    const std::string imageName = "MainMenuImg" + std::to_string(index);
    collection.Add(imageName, bytes); // raises for bytes that are no picture
    collection.Changed();
    Item.SetImageName(imageName);
    Item.SetImageIndex(index);
}

TMenuItem* TBrowserExternalModule::FindMenuItemByTag(TMenuItem* Root, std::int32_t Tag) {
    if (!Root)
        return nullptr;
    // Depth first without recursion: a menu may be deep.
    std::vector<TMenuItem*> pending{Root};
    while (!pending.empty()) {
        TMenuItem* item = pending.back();
        pending.pop_back();
        if (item->Tag() == Tag)
            return item;
        for (int i = item->Count() - 1; i >= 0; --i)
            pending.push_back(item->Items(i));
    }
    return nullptr;
}

bool TBrowserExternalModule::BuildMenuItem(const std::string& Uuid, const TJsonValue& Object,
                                           TMenuItem& Item) {
    if (!Object.IsObject())
        throw EBridgeError(ConversionErrorText(Object.ClassName(), ObjectTypeName));
    std::string caption, id, text;
    if (!ReadMenuText(Object, "caption", caption) || !ReadMenuText(Object, "id", id)) {
        SendError(Uuid, "\"Wrong menu item JSON\"");
        return false;
    }
    Item.SetTag(MenuTag(id));
    Item.SetCaption(caption);
    if (ReadMenuText(Object, "enabled", text))
        Item.SetEnabled(MenuBoolean(text));
    if (ReadMenuText(Object, "image", text))
        LoadMenuImage(Item, text);
    const TJsonValue* items = Object.Find("items");
    if (!items) {
        Item.OnClick = [this](TObject* Sender) { MainMenuItemClick(Sender); };
        return true;
    }
    if (!items->IsArray()) {
        SendError(Uuid, "\"Wrong menu item JSON\"");
        return false;
    }
    for (const TJsonValue& element : items->Items()) {
        auto* child = new TMenuItem(FBrowserExternalForm->MainMenu);
        Item.Add(child);
        if (!BuildMenuItem(Uuid, element, *child))
            return false;
    }
    return true;
}

void TBrowserExternalModule::MainMenuSetItems(const std::string& Uuid, const TJsonValue& Data) {
    const std::string text = ReadTextArg(Data, "items");
    if (text.empty()) {
        SendError(Uuid, "\"Missing menu items\"");
        return;
    }
    TMainMenu& menu = *FBrowserExternalForm->MainMenu;
    if (FMainForm)
        FMainForm->SetMenu(&menu);
    menu.Items()->Clear();
    FBrowserExternalForm->MainMenuImageCollection->Clear();
    FBrowserExternalForm->MainMenuImageCollection->Changed();
    TJsonValue items;
    try {
        items = TJsonValue::Parse(text);
    } catch (const EBridgeError&) {
    }
    if (!items.IsArray()) {
        SendError(Uuid, "\"Wrong menu items JSON\"");
        menu.Items()->Clear();
        return;
    }
    for (const TJsonValue& element : items.Items()) {
        auto* item = new TMenuItem(&menu);
        menu.Items()->Add(item);
        if (!BuildMenuItem(Uuid, element, *item)) {
            menu.Items()->Clear();
            return;
        }
    }
    SendSuccess(Uuid, "true");
}

void TBrowserExternalModule::MainMenuUpdateItem(const std::string& Uuid, const TJsonValue& Data) {
    const std::string idText = ReadTextArg(Data, "id");
    if (idText.empty()) {
        SendError(Uuid, "\"Missing item ID\"");
        return;
    }
    std::int32_t id = 0;
    if (!TryParseInt32(idText, id) || id == -1) {
        SendError(Uuid, "\"Wrong item ID\"");
        return;
    }
    TMenuItem* root = FBrowserExternalForm->MainMenu->Items();
    if (root->Count() == 0) {
        SendError(Uuid, "\"No menu items\"");
        return;
    }
    TMenuItem* found = nullptr;
    for (int i = 0; i < root->Count() && !found; ++i)
        found = FindMenuItemByTag(root->Items(i), id);
    if (found) {
        const std::string caption = ReadTextArg(Data, "caption");
        const std::string enabled = ReadTextArg(Data, "enabled");
        const std::string image = ReadTextArg(Data, "image");
        if (!caption.empty())
            found->SetCaption(caption);
        if (!enabled.empty())
            found->SetEnabled(MenuBoolean(enabled));
        if (!image.empty())
            LoadMenuImage(*found, image);
    }
    SendSuccess(Uuid, "true");
}

void TBrowserExternalModule::MainMenuItemClick(TObject* Sender) {
    const auto* item = dynamic_cast<TMenuItem*>(Sender);
    TEdgeBrowser* browser = Browser();
    if (item && browser)
        browser->ExecuteScript("qvx.events.onMainMenuItemClick(" + std::to_string(item->Tag()) + ");");
}

// ---------------------------------------------------------------------------
// Application, window, shell and system.

void TBrowserExternalModule::EndSession(const std::string& Uuid, unsigned Flags) {
    if (TSysUtils::ExitWindows(Flags))
        SendSuccess(Uuid, "true");
    else
        SendError(Uuid, PlainJsonString(Platform::LastErrorMessage()));
}

void TBrowserExternalModule::SystemLogoff(const std::string& Uuid) {
    EndSession(Uuid, EWX_LOGOFF | EWX_FORCE);
}

void TBrowserExternalModule::SystemReboot(const std::string& Uuid) {
    EndSession(Uuid, EWX_REBOOT | EWX_FORCE);
}

void TBrowserExternalModule::SystemShutdown(const std::string& Uuid) {
    EndSession(Uuid, EWX_SHUTDOWN | EWX_FORCE);
}

void TBrowserExternalModule::AppClose(const std::string&) {
    if (OnAppCloseRequest)
        OnAppCloseRequest(this);
}

void TBrowserExternalModule::AppInFullscreen(const std::string& Uuid) {
    // In full screen while the window shows it: a window that the user's window
    // manager took out of it is not, although the border stays off until the
    // page leaves full screen.
    const bool shown = !FMainForm || FMainForm->WindowState() == TWindowState::wsMaximized;
    SendSuccess(Uuid, FInFullscreen && shown ? "true" : "false");
}

void TBrowserExternalModule::AppEnterFullscreen(const std::string&) {
    if (FInFullscreen)
        return;
    FInFullscreen = true;
    if (FMainForm) {
        FMainForm->SetBorderStyle(TBorderStyle::bsNone);
        FMainForm->SetWindowState(TWindowState::wsMaximized);
    }
}

void TBrowserExternalModule::AppExitFullscreen(const std::string&) {
    if (!FInFullscreen)
        return;
    FInFullscreen = false;
    if (FMainForm) {
        FMainForm->SetWindowState(TWindowState::wsNormal);
        const int border = FProjectINI ? FProjectINI->ReadInteger(AppIni::Section, AppIni::WindowBorder,
                                                                  AppIni::DefaultWindowBorder)
                                       : AppIni::DefaultWindowBorder;
        FMainForm->SetBorderStyle(BorderStyleOfSetting(border));
    }
}

void TBrowserExternalModule::AppGetArgs(const std::string& Uuid) {
    std::vector<std::string> items{Platform::ExecutablePath()};
    for (auto& argument : Platform::ProcessArguments())
        items.push_back(std::move(argument));
    SendSuccess(Uuid, JsonStringArray(items));
}

void TBrowserExternalModule::WindowGetStyle(const std::string& Uuid) {
    const bool onTop = FMainForm && FMainForm->FormStyle() == TFormStyle::fsStayOnTop;
    SendSuccess(Uuid, onTop ? "\"ontop\"" : "\"normal\"");
}

void TBrowserExternalModule::WindowSetStyle(const std::string& Uuid, const TJsonValue& Data) {
    const std::string style = ReadTextArg(Data, "style", "normal");
    if (FMainForm)
        FMainForm->SetFormStyle(style == "ontop" ? TFormStyle::fsStayOnTop : TFormStyle::fsNormal);
    SendSuccess(Uuid, "true");
}

void TBrowserExternalModule::WindowGetState(const std::string& Uuid) {
    std::string state = "\"normal\"";
    if (FMainForm && FMainForm->WindowState() == TWindowState::wsMinimized)
        state = "\"minimized\"";
    else if (FMainForm && FMainForm->WindowState() == TWindowState::wsMaximized)
        state = "\"maximized\"";
    SendSuccess(Uuid, state);
}

void TBrowserExternalModule::WindowSetState(const std::string& Uuid, const TJsonValue& Data) {
    const std::string state = ReadTextArg(Data, "state", "normal");
    if (FMainForm) {
        if (state == "normal")
            FMainForm->SetWindowState(TWindowState::wsNormal);
        else if (state == "minimized")
            FMainForm->SetWindowState(TWindowState::wsMinimized);
        else if (state == "maximized")
            FMainForm->SetWindowState(TWindowState::wsMaximized);
    }
    SendSuccess(Uuid, "true");
}

void TBrowserExternalModule::ThemesGetTheme(const std::string& Uuid) {
    SendSuccess(Uuid, PlainJsonString(TStylesUtils::GetActiveTheme()));
}

void TBrowserExternalModule::ThemesGetThemes(const std::string& Uuid) {
    TStringList themes;
    TStylesUtils::GetAvailables(themes, true);
    SendSuccess(Uuid, JsonStringArray(themes.Strings()));
}

void TBrowserExternalModule::ThemesSetTheme(const std::string& Uuid, const TJsonValue& Data) {
    const std::string name = ReadTextArg(Data, "name");
    TStylesUtils::TrySetStyle(name, false);
    SendSuccess(Uuid, TStylesUtils::GetActiveTheme() == name ? "true" : "false");
}

void TBrowserExternalModule::WindowGetTitle(const std::string& Uuid) {
    SendSuccess(Uuid, PlainJsonString(FMainForm ? FMainForm->Caption() : std::string()));
}

void TBrowserExternalModule::WindowSetTitle(const std::string& Uuid, const TJsonValue& Data) {
    const std::string title = ReadTextArg(Data, "title");
    if (FMainForm)
        FMainForm->SetCaption(title);
    SendSuccess(Uuid, "true");
}

void TBrowserExternalModule::WindowGetZoom(const std::string& Uuid) {
    TEdgeBrowser* browser = Browser();
    const double zoom = browser ? browser->ZoomFactor() : 0.0;
    SendSuccess(Uuid, PlainJsonString(FormatGeneralFloat(zoom, Platform::UserDecimalSeparator())));
}

void TBrowserExternalModule::WindowSetZoom(const std::string& Uuid, const TJsonValue& Data) {
    double factor = 0;
    const bool valid = TryParseDotFloat(ReadTextArg(Data, "factor"), factor);
    if (TEdgeBrowser* browser = Browser())
        browser->SetZoomFactor(valid ? factor : 1.0);
    SendSuccess(Uuid, valid ? "true" : "false");
}

void TBrowserExternalModule::ShellExecute(const std::string& Uuid, const TJsonValue& Data) {
    const std::string filePath = ReadTextArg(Data, "filePath");
    const std::string arguments = ReadTextArg(Data, "arguments");
    if (filePath.empty()) {
        SendError(Uuid, "\"Missing filePath\"");
        return;
    }
    if (!AcceptPagePath(Uuid, filePath))
        return;
    if (TSysUtils::ShellExec(filePath, arguments))
        SendSuccess(Uuid, "true");
    else
        SendError(Uuid, PlainJsonString(Platform::LastErrorMessage()));
}

void TBrowserExternalModule::ShellExplore(const std::string& Uuid, const TJsonValue& Data) {
    const std::string filePath = ReadTextArg(Data, "filePath");
    if (filePath.empty()) {
        SendError(Uuid, "\"Missing filePath\"");
        return;
    }
    if (!AcceptPagePath(Uuid, filePath))
        return;
    if (TSysUtils::ShellExplore(filePath))
        SendSuccess(Uuid, "true");
    else
        SendError(Uuid, PlainJsonString(Platform::LastErrorMessage()));
}

void TBrowserExternalModule::ShellCommand(const std::string& Uuid, const TJsonValue& Data) {
    const std::string command = ReadTextArg(Data, "command");
    const std::string workingDir = ReadTextArg(Data, "workingDir");
    const bool showWindow = ReadTextArg(Data, "showWindow", "false") == "true";
    if (command.empty()) {
        SendError(Uuid, "\"Missing command\"");
        return;
    }
    if (!AcceptPagePath(Uuid, workingDir))
        return;
    // The command runs beside the window, which goes on answering calls and
    // repainting; its output is the reply once it ends (replies go by their
    // ids, in any order). A window closed meanwhile gets no reply.
    std::thread([Uuid, command, workingDir, showWindow, alive = std::weak_ptr<bool>(FAlive), this] {
        std::string output;
        bool done = true;
        try {
            output = EscapedJsonString(TSysUtils::GetDosOutput(command, workingDir, showWindow));
        } catch (const std::exception& error) {
            output = PlainJsonString(error.what());
            done = false;
        }
        Application().Queue([Uuid, output = std::move(output), done, alive, this] {
            if (alive.lock())
                SendReply(Uuid, output, done);
        });
    }).detach();
}

void TBrowserExternalModule::ShellWindows(const std::string& Uuid) {
    std::vector<std::string> captions;
    TSysUtils::GetWindowsCaptions(captions);
    SendSuccess(Uuid, JsonStringArray(captions));
}

} // namespace Norvane::Shared
