// Program entry of the runtime: the start-up of the packaged application, the
// single-instance rule, then the main window and the message loop.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/InstanceLock.h"
#include "platform/Process.h"
#include "platform/ReloadChannel.h"
#include "platform/ui/Application.h"
#include "runtime/ExeZipLoader.h"
#include "runtime/MainForm.h"
#include "shared/PayloadFormat.h"
#include "shared/ProjectIni.h"
#include "webview2/WebView2.h"

namespace {

using namespace Norvane;
using namespace Norvane::Runtime;

// Held for the life of the process: the other instances see it, and the system
// lets it go when the process ends in any way.
Platform::TInstanceLock InstanceLock;
// Whether this process took the lock first: it shows its window again when a
// later start asks.
bool FirstInstance = false;

// Single-instance rule: without AllowInstances, a second process goes on only
// in the relaunch form (exactly two arguments, the first equal to AppID).
void ApplySingleInstanceRule() {
    namespace Ini = Shared::AppIni;
    if (ProjectINI->ReadBool(Ini::Section, Ini::AllowInstances, Ini::DefaultAllowInstances))
        return;
    bool alreadyExisted = false;
    if (!InstanceLock.Acquire(AppID, alreadyExisted))
        return; // no lock to be had: like a failed mutex creation, start-up goes on
    FirstInstance = !alreadyExisted;
    if (alreadyExisted && !(ParamCount() == 2 && ParamStr(1) == AppID)) {
        // The running instance comes to the front (restored when minimized).
        Platform::TInstanceLock::AskToShow(AppID, Platform::ProcessArguments());
        EndStartup();
    }
}

void ShowWhenAsked() {
    using Platform::Ui::Application;
    if (!FirstInstance)
        return;
    InstanceLock.ListenForShowRequests(AppID, [](const std::vector<std::string>& Arguments) {
        Application().Queue([Arguments] {
            if (Platform::Ui::TCustomForm* form = Application().MainForm())
                form->BringToFront();
            // The page hears of the start and its arguments.
            if (auto* form = dynamic_cast<TMainForm*>(Application().MainForm()))
                if (Shared::TBrowserExternalModule* module = form->BrowserExternalModule())
                    module->SecondInstanceStarted(Arguments);
        });
    });
}

// An author's run with reloading (norvane-pack run --watch): the packer
// replaces the package at the path this process was started from and asks
// over the channel it named to show the new one.
Platform::TReloadListener ReloadListener;
std::string PackagePath;

// The package read again: a new archive reader over the new file, given to
// the window. The earlier readers and mappings stay until the process ends,
// as a page may still be reading media from them; an author's run is short.
void ReloadPackage() {
    using Platform::Ui::Application;
    auto* form = dynamic_cast<TMainForm*>(Application().MainForm());
    if (!form)
        return;
    static std::vector<std::unique_ptr<Shared::TMappedPayload>> payloads;
    static std::vector<std::unique_ptr<Shared::TExeZip>> readers;
    try {
        Shared::TExeUtils utils;
        auto payload = utils.MapZipFromFile(PackagePath);
        auto reader = std::make_unique<Shared::TExeZip>();
        reader->SetPassword(Shared::PayloadPassword);
        reader->Open(payload->Data(), payload->Size(), true);
        form->ReloadPayload(reader.get());
        payloads.push_back(std::move(payload));
        readers.push_back(std::move(reader));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "norvane: the package cannot be read again: %s\n", e.what());
    }
}

// The channel the packer named, in an author's run only; empty otherwise.
std::string ReloadChannel() {
    const auto development = Platform::GetEnv(WebView2::DevelopmentVariable);
    const auto channel = Platform::GetEnv(Platform::ReloadChannelVariable);
    return development && WebView2::DevelopmentRun(development->c_str()) && channel ? *channel
                                                                                    : std::string();
}

// Called first thing: the packer may replace the package from its first
// repack on, after which the running file has no name any more.
void RememberPackagePath() {
    if (!ReloadChannel().empty())
        PackagePath = Platform::ExecutablePath();
}

void ReloadWhenAsked() {
    const std::string channel = ReloadChannel();
    if (!channel.empty() && !PackagePath.empty())
        ReloadListener.Listen(channel, [] { Platform::Ui::Application().Queue(ReloadPackage); });
}

int RunApplication(int argc, char** argv) {
    using namespace Platform::Ui;
    RememberPackagePath();
    // The arguments as UTF-8 text (the entry's own are in the system's code
    // page on Windows); the program as the entry received it.
    std::vector<std::string> arguments = Platform::ProcessArguments();
    std::vector<const char*> items{argc > 0 ? argv[0] : ""};
    for (const std::string& argument : arguments)
        items.push_back(argument.c_str());
    SetCommandLine(static_cast<int>(items.size()), items.data());
    // The toolkit comes first, so that the first dialog of start-up can show.
    // Without a display the silent ends still end silently; the first window
    // then reports that there is none.
    try {
        Application().Initialize();
    } catch (const EUiError& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    try {
        LoadExeZip();
        ApplySingleInstanceRule();
        Application().Initialize();
        Application().SetMainFormOnTaskBar(true);
        Application().CreateForm<TMainForm>();
        ShowWhenAsked();
        ReloadWhenAsked();
        Application().Run();
    } catch (...) {
        // What escapes start-up or the main loop: the application's error report, then the end.
        Application().HandleException(std::current_exception());
        return 1;
    }
    return 0;
}

} // namespace

#ifdef NORVANE_RUNTIME_LIBRARY
// On Linux the runtime is a library that its start program carries and loads
// (platform/posix/start); this is the one name it exports.
extern "C" int NorvaneRuntimeMain(int argc, char** argv) {
    return RunApplication(argc, argv);
}
#else
int main(int argc, char** argv) {
    return RunApplication(argc, argv);
}
#endif
