#include "runtime/ExeZipLoader.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Session.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Styles.h"
#include "runtime/EdgeInstallerForm.h"
#include "runtime/LocalizedMessages.h"
#include "runtime/RequirePasswordForm.h"
#include "shared/IconFile.h"
#include "shared/PayloadFormat.h"
#include "shared/StrUtils.h"
#include "shared/Streams.h"
#include "shared/StylesUtils.h"
#include "shared/SysUtils.h"
#include "shared/browser/EdgeEx.h"

namespace Norvane::Runtime {

namespace fs = std::filesystem;
using Norvane::Platform::PathFromUtf8;
namespace Ini = Shared::AppIni;
using namespace Platform::Ui;

Shared::TExeUtils* ExeUtils = nullptr;
Shared::TExeZip* ExeZip = nullptr;
Shared::TProjectIni* ProjectINI = nullptr;
std::string AppID;
std::string AppName;
std::string AppFolderName;
std::string AppIndexHtml;
std::string RuntimeDataDir;
std::string WebViewDataDir;

namespace {

// The payload the archive reader reads in place (the executable mapped
// read-only); never unmapped before the process ends.
Shared::TMappedPayload* Payload = nullptr;

std::vector<std::string>& CommandLine() {
    static std::vector<std::string> arguments;
    return arguments;
}

// At process end: the archive reader, ExeUtils and the settings reader, in
// this order, then the strings.
struct TLoaderFinalization {
    ~TLoaderFinalization() {
        delete ExeZip;
        ExeZip = nullptr;
        delete ExeUtils;
        ExeUtils = nullptr;
        delete ProjectINI;
        ProjectINI = nullptr;
        for (std::string* text :
             {&AppID, &AppName, &AppFolderName, &AppIndexHtml, &RuntimeDataDir, &WebViewDataDir})
            text->clear();
    }
} LoaderFinalization;

std::string Message(TLocalizedMessage Index) {
    return GetLocalizedMessage(Index);
}

// An error dialog with one button, as every failure of start-up shows it.
void ShowErrorDialog(TLocalizedMessage Text) {
    ShowLocalizedDialog(Message(Text), TMsgDlgType::mtError, {TMsgDlgBtn::mbYes}, Message(lmErrorTitle),
                        {Message(lmAcceptButton)});
}

bool FileExists(const std::string& Path) {
    std::error_code ec;
    return fs::exists(PathFromUtf8(Path), ec) && !fs::is_directory(PathFromUtf8(Path), ec);
}

// Creates the file (none is at the path) with the bytes of the archive entry;
// an entry missing from the archive gives an empty file. The bytes go to a
// file of this process first, which then gets the name only when nothing has
// it yet: another instance starting at the same moment never sees a
// half-written file, and nothing that is already there is replaced.
void ExtractEntryToNewFile(const std::string& EntryName, const std::string& FilePath, bool Executable) {
    std::string part = FilePath + ".part-" + std::to_string(Platform::CurrentProcessId());
    {
        Shared::TFileStream file(part, Shared::TFileMode::fmCreate);
        ExeZip->ExtractEntry(EntryName, file);
        file.Close();
    }
    std::error_code ec;
    if (Executable)
        fs::permissions(PathFromUtf8(part),
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, ec);
    fs::create_hard_link(PathFromUtf8(part), PathFromUtf8(FilePath), ec);
    if (ec && !FileExists(FilePath)) {
        // A file system without hard links: a plain rename (raises when even that fails).
        try {
            fs::rename(PathFromUtf8(part), PathFromUtf8(FilePath));
        } catch (...) {
            fs::remove(PathFromUtf8(part), ec);
            throw;
        }
    }
    fs::remove(PathFromUtf8(part), ec);
}

// Starts programs "with administrator rights" as the invoking user, without
// any authorisation prompt: selected by NORVANE_ELEVATION=none, for test
// set-ups and systems where the installer needs no rights of its own.
class TUnelevatedStart : public Platform::Elevation {
public:
    std::unique_ptr<Platform::ChildProcess>
    StartElevated(const std::string& program, const std::vector<std::string>& arguments) override {
        Platform::ProcessStartInfo info;
        info.Arguments.push_back(program);
        info.Arguments.insert(info.Arguments.end(), arguments.begin(), arguments.end());
        return Platform::StartProcess(info);
    }
};

void ApplyElevationSetting() {
    auto setting = Platform::GetEnv(ElevationVariable);
    if (setting && *setting == "none")
        Platform::SetElevation(std::make_shared<TUnelevatedStart>());
}

void AskForPassword(const std::string& Password) {
    Application().Initialize(); // raises when there is no display, before any window is made
    auto* form = TCustomForm::Create<TRequirePasswordForm>();
    form->SetCaption(AppName);
    form->SetPassword(Password);
    if (form->ShowModal() != mrOk)
        EndStartup();
    delete form;
}

} // namespace

std::string FolderNameOfID(const std::string& ID) {
    if (ID == ".")
        return "%2E";
    if (ID == "..")
        return "%2E%2E";
    std::string name;
    for (char c : ID) {
        switch (c) {
        case '%':
            name += "%25";
            break;
        case '/':
            name += "%2F";
            break;
        case '\0':
            name += "%00";
            break;
        default:
            name += c;
        }
    }
    return name;
}

void SetCommandLine(int argc, const char* const* argv) {
    auto& arguments = CommandLine();
    arguments.clear();
    for (int i = 0; i < argc; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
}

int ParamCount() {
    auto& arguments = CommandLine();
    return arguments.empty() ? 0 : static_cast<int>(arguments.size()) - 1;
}

std::string ParamStr(int Index) {
    auto& arguments = CommandLine();
    if (Index < 0 || Index >= static_cast<int>(arguments.size()))
        return {};
    return arguments[static_cast<std::size_t>(Index)];
}

bool IsRelaunch() {
    return ParamCount() >= 1 && ParamStr(1) == AppID;
}

void EndStartup() {
    Platform::ExitProcess(0);
}

void LoadProjectIni() {
    Shared::TMemoryStream stream;
    ExeZip->ExtractEntry(Shared::IniEntryName, stream);
    stream.SetPosition(0);
    ProjectINI->LoadFromBytes(stream.AsString());
}

void ApplyApplicationIcon() {
    constexpr std::uint32_t MaxSide = 1024;
    std::string bytes;
    bool present = false;
    for (const auto& entry : ExeZip->Entries())
        present = present || Platform::Text::EqualsNoCase(entry.Name, Shared::IconEntryName);
    if (!present)
        return;
    std::vector<std::string> images;
    try {
        bytes = ExeZip->ExtractEntryToString(Shared::IconEntryName);
        auto icon = Shared::TIconFile::Parse(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
                                             Shared::IconEntryName);
        for (std::size_t i = 0; i < icon.Images.size(); ++i) {
            std::uint32_t w = 0, h = 0;
            if (icon.Images[i].StoredSize(w, h) && w > 0 && h > 0 && w <= MaxSide && h <= MaxSide)
                images.push_back(icon.ImageFile(i));
        }
    } catch (const std::exception&) {
        return; // a damaged icon leaves the windows with the default one
    }
    Application().SetIcon(images);
}

void ApplyStartupTheme() {
    std::string theme = ProjectINI->ReadString(Ini::Section, Ini::Theme, Ini::DefaultTheme);
    if (theme != Ini::DefaultTheme)
        Shared::TStylesUtils::TrySetStyle(theme, true);
    // Pop-up menus keep the system look; dialogs and tooltips stay styled.
    TStyleManager::SetSystemHooks(TStyleManager::SystemHooks() & ~static_cast<unsigned>(shMenus));
}

void PrepareFolders() {
    RuntimeDataDir = Shared::TSysUtils::GetLocalAppDataDirPath() + FolderNameOfID(AppID) + "/";
    WebViewDataDir = RuntimeDataDir + WebViewDataSubDir;
    Shared::WebView2LoaderPath = WebViewDataDir + Shared::LoaderEntryName;
    // A folder that cannot be made shows when the library file cannot be written.
    std::error_code ec;
    fs::create_directories(PathFromUtf8(RuntimeDataDir), ec);
    fs::create_directories(PathFromUtf8(WebViewDataDir), ec);
    if (!FileExists(Shared::WebView2LoaderPath))
        ExtractEntryToNewFile(Shared::LoaderEntryName, Shared::WebView2LoaderPath, false);
}

void SetBrowserEnvironment() {
    Platform::SetEnv(UserDataFolderVariable, WebViewDataDir);
    Platform::SetEnv(AdditionalBrowserArgumentsVariable, AdditionalBrowserArguments);
    Platform::UnsetEnv(BrowserExecutableFolderVariable);
    Platform::UnsetEnv(ReleaseChannelPreferenceVariable);
}

void InstallEdgeRuntime() {
    // 1-2. Installing not allowed: report and end.
    if (!ProjectINI->ReadBool(Ini::Section, Ini::EdgeInstaller, Ini::DefaultEdgeInstaller)) {
        ShowErrorDialog(lmRuntimeRequired);
        EndStartup();
    }
    // 3-4. The offer; Cancel (button, Escape, close box) is a refusal.
    TModalResult answer = ShowLocalizedDialog(
        Message(lmInstallOffer), TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbCancel},
        Message(lmConfirmTitle), {Message(lmAcceptButton), Message(lmCancelButton)});
    if (answer == mrCancel) {
        Shared::TSysUtils::DeleteDirectory(RuntimeDataDir);
        ShowErrorDialog(lmInstallRefused);
        EndStartup();
    }
    // 5. The installer, written once, runnable.
    std::string installerPath = RuntimeDataDir + Shared::InstallerEntryName;
    if (!FileExists(installerPath))
        ExtractEntryToNewFile(Shared::InstallerEntryName, installerPath, true);
    // 6. The progress window, not modal.
    Application().Initialize();
    auto* progress = TCustomForm::Create<TEdgeInstallerForm>();
    progress->ApplySettings(
        ProjectINI->ReadInteger(Ini::Section, Ini::InstallFormColor, Ini::DefaultInstallFormColor),
        ProjectINI->ReadInteger(Ini::Section, Ini::InstallIndicatorColor, Ini::DefaultInstallIndicatorColor),
        ProjectINI->ReadInteger(Ini::Section, Ini::InstallIndicatorType, Ini::DefaultInstallIndicatorType));
    progress->Show();
    Application().HideApplicationWindow();
    // 7. The installer with administrator rights; its exit code is not used.
    ApplyElevationSetting();
    TCustomForm* active = Application().ActiveForm();
    Shared::TSysUtils::ShellExecAsAdminAndWait(active ? active->NativeWindow() : nullptr, installerPath,
                                               "/silent /install");
    // 8-9. Installed: start anew, without arguments.
    if (Shared::TSysUtils::CheckEdgeIsInstalled(Shared::WebView2LoaderPath)) {
        std::error_code ec;
        if (FileExists(installerPath))
            fs::remove(PathFromUtf8(installerPath), ec);
        Shared::TSysUtils::ShellExec(Platform::ExecutablePath(), "");
        EndStartup();
    }
    // 10. Not installed (refused, failed, or no installer in the payload).
    Shared::TSysUtils::DeleteDirectory(RuntimeDataDir);
    ShowErrorDialog(lmInstallFailed);
    EndStartup();
}

void LoadExeZip() {
    // 2. The helpers: the payload reader, the archive reader, the settings.
    ExeUtils = new Shared::TExeUtils();
    ExeZip = new Shared::TExeZip();
    ProjectINI = new Shared::TProjectIni();

    // 3. Something must be attached to the executable.
    if (!ExeUtils->ExeHasAttachedStub()) {
        ShowErrorDialog(lmNoPayload);
        EndStartup();
    }
    // 4-5. The archive over the payload, read in place from the mapped executable.
    ExeZip->SetPassword(Shared::PayloadPassword);
    Payload = ExeUtils->MapZipFromExe().release();
    ExeZip->Open(Payload->Data(), Payload->Size(), true);

    // 6-7. The settings and the application's identity.
    LoadProjectIni();
    AppID = ProjectINI->ReadString(Ini::Section, Ini::ID, Ini::DefaultID);
    AppName = ProjectINI->ReadString(Ini::Section, Ini::Name, Ini::DefaultName);
    AppFolderName = ProjectINI->ReadString(Ini::Section, Ini::DirName, Ini::DefaultDirName);
    AppIndexHtml = ProjectINI->ReadString(Ini::Section, Ini::IndexHtml, Ini::DefaultIndexHtml);
    if (AppID.empty() || AppName.empty() || AppFolderName.empty())
        EndStartup();
    // The content types of the application's files are read from the system's
    // tables on a worker thread while the engine loads, not at the first page.
    Shared::TStrUtils::PrepareMimeTable();

    // 8. The application's icon for every window from here on, then the visual style.
    ApplyApplicationIcon();
    ApplyStartupTheme();
    // 9. Folders and the engine library.
    PrepareFolders();
    // 10. The engine's environment, inherited by its processes.
    SetBrowserEnvironment();
    // 11. The engine itself.
    if (!Shared::TSysUtils::CheckEdgeIsInstalled(Shared::WebView2LoaderPath))
        InstallEdgeRuntime();
    // 12. A relaunch by the application itself asks for no password.
    if (IsRelaunch())
        return;
    // 13. The access password.
    std::string password = ProjectINI->ReadString(Ini::Section, Ini::Password, Ini::DefaultPassword);
    if (!password.empty())
        AskForPassword(password);
}

} // namespace Norvane::Runtime
