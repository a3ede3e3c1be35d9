#include "shared/BrowserExternalModule.h"

#include "platform/Process.h"
#include "platform/System.h"
#include "platform/ui/Application.h"
#include "shared/StrUtils.h"
#include "shared/Streams.h"
#include "shared/SysUtils.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <random>

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

void TBrowserExternalModule::RegisterFunctions() {
    namespace Id = BridgeFunctionId;
    using TPlain = void (TBrowserExternalModule::*)(const std::string&);
    using TWithData = void (TBrowserExternalModule::*)(const std::string&, const TJsonValue&);
    auto plain = [this](std::int32_t Number, TPlain Function) {
        FDispatcher.Register(Number, [this, Function](const std::string& Uuid, const TJsonValue&) {
            (this->*Function)(Uuid);
        });
    };
    auto withData = [this](std::int32_t Number, TWithData Function) {
        FDispatcher.Register(Number, [this, Function](const std::string& Uuid, const TJsonValue& Data) {
            (this->*Function)(Uuid, Data);
        });
    };
    plain(Id::Hello, &TBrowserExternalModule::Hello);
    plain(Id::IsRuntime, &TBrowserExternalModule::IsRuntime);
    withData(Id::DialogsOpenFile, &TBrowserExternalModule::DialogsOpenFile);
    withData(Id::DialogsSaveFile, &TBrowserExternalModule::DialogsSaveFile);
    withData(Id::FilesFileExists, &TBrowserExternalModule::FilesFileExists);
    withData(Id::FilesDeleteFile, &TBrowserExternalModule::FilesDeleteFile);
    withData(Id::FilesWriteTextFile, &TBrowserExternalModule::FilesWriteTextFile);
    withData(Id::FilesExtractFile, &TBrowserExternalModule::FilesExtractFile);
    withData(Id::FoldersDirExists, &TBrowserExternalModule::FoldersDirExists);
    withData(Id::FoldersDeleteDir, &TBrowserExternalModule::FoldersDeleteDir);
    plain(Id::FoldersGetTempDir, &TBrowserExternalModule::FoldersGetTempDir);
    plain(Id::FoldersGetUserDocumentsDir, &TBrowserExternalModule::FoldersGetUserDocumentsDir);
    plain(Id::FoldersGetUserDesktopDir, &TBrowserExternalModule::FoldersGetUserDesktopDir);
    plain(Id::FoldersGetAppExecutableDir, &TBrowserExternalModule::FoldersGetAppExecutableDir);
    plain(Id::FoldersGetAppDataDir, &TBrowserExternalModule::FoldersGetAppDataDir);
    withData(Id::Base64DecodeToFile, &TBrowserExternalModule::Base64DecodeToFile);
    // The session functions (log off, reboot, shut down) are not served from
    // pages yet: their numbers are ignored like those of functions still to
    // come. SystemLogoff, SystemReboot and SystemShutdown are ready for it.
    plain(Id::AppClose, &TBrowserExternalModule::AppClose);
    plain(Id::AppInFullscreen, &TBrowserExternalModule::AppInFullscreen);
    plain(Id::AppEnterFullscreen, &TBrowserExternalModule::AppEnterFullscreen);
    plain(Id::AppExitFullscreen, &TBrowserExternalModule::AppExitFullscreen);
    plain(Id::AppGetArgs, &TBrowserExternalModule::AppGetArgs);
    plain(Id::WindowGetStyle, &TBrowserExternalModule::WindowGetStyle);
    withData(Id::WindowSetStyle, &TBrowserExternalModule::WindowSetStyle);
    plain(Id::WindowGetState, &TBrowserExternalModule::WindowGetState);
    withData(Id::WindowSetState, &TBrowserExternalModule::WindowSetState);
    plain(Id::WindowGetTitle, &TBrowserExternalModule::WindowGetTitle);
    withData(Id::WindowSetTitle, &TBrowserExternalModule::WindowSetTitle);
    plain(Id::WindowGetZoom, &TBrowserExternalModule::WindowGetZoom);
    withData(Id::WindowSetZoom, &TBrowserExternalModule::WindowSetZoom);
    withData(Id::ShellExecute, &TBrowserExternalModule::ShellExecute);
    withData(Id::ShellExplore, &TBrowserExternalModule::ShellExplore);
    withData(Id::ShellCommand, &TBrowserExternalModule::ShellCommand);
    plain(Id::ShellWindows, &TBrowserExternalModule::ShellWindows);
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

constexpr const char* MissingFilePath = "\"Missing filePath\"";
constexpr const char* MissingDirPath = "\"Missing dirPath\"";

// Creates the folder of a file and its missing parents; failures are left to
// the write that follows.
void ForceFolderOf(const std::string& FilePath) {
    const fs::path folder = fs::path(FilePath).parent_path();
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
    explicit TReplacingFile(const std::string& Path) : FPath(Path) {
        std::error_code ec;
        // Through a link, the file that the link names is replaced.
        if (fs::is_symlink(fs::symlink_status(FPath, ec))) {
            const fs::path resolved = fs::weakly_canonical(FPath, ec);
            if (!ec)
                FPath = resolved;
        }
        const fs::file_status existing = fs::status(FPath, ec);
        if (fs::exists(existing))
            TFileStream(FPath.string(), TFileMode::fmOpenReadWrite).Close();
        std::random_device random;
        const std::uint64_t unique = (std::uint64_t{random()} << 32) ^ random();
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.part", static_cast<unsigned long long>(unique));
        FTemp = FPath.parent_path() / ("." + FPath.filename().string() + suffix);
        try {
            FStream = std::make_unique<TFileStream>(FTemp.string(), TFileMode::fmCreate);
        } catch (const EFOpenError& e) {
            // Named as the target, in the words of opening it.
            const std::string what = e.what();
            const std::string lead = "Cannot open file \"" + FTemp.string() + "\"";
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
    const fs::file_status status = fs::status(ResolvePagePath(filePath), ec);
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
    const fs::file_status status = fs::symlink_status(path, ec);
    const bool deleted = fs::exists(status) && !fs::is_directory(status) && fs::remove(path, ec) && !ec;
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
    SendSuccess(Uuid, fs::is_directory(ResolvePagePath(dirPath), ec) ? "true" : "false");
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
    SendSuccess(Uuid, FInFullscreen ? "true" : "false");
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
    SendSuccess(Uuid, EscapedJsonString(TSysUtils::GetDosOutput(command, workingDir, showWindow)));
}

void TBrowserExternalModule::ShellWindows(const std::string& Uuid) {
    std::vector<std::string> captions;
    TSysUtils::GetWindowsCaptions(captions);
    SendSuccess(Uuid, JsonStringArray(captions));
}

} // namespace Norvane::Shared
