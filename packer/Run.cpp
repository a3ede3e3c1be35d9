// norvane-pack run: packs into a temporary folder, starts the packaged
// application, waits for it, removes the temporary folder and passes the
// application's exit code back, for trying a change in one command. The
// application runs as an author's run (see DevelopmentVariable).
//
// With --watch the packer stays beside the application and packs again when
// a file of the application folder, the settings file or the extra script is
// saved (once the changes have been quiet for a moment). A new package of a
// changed application folder is written over the old one and the running
// application is asked over the reload channel (platform/ReloadChannel.h) to
// read it and reload its page; a changed settings file or extra script
// restarts the application instead. A change that does not pack leaves the
// running application alone, and the packer's error is written on the
// terminal.
#include <algorithm>
#include <csignal>
#include <filesystem>

#include "packer/Commands.h"
#include "packer/PackError.h"
#include "platform/ChildProcess.h"
#include "platform/FileWatch.h"
#include "platform/Interrupts.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/ReloadChannel.h"
#include "platform/System.h"
#include "webview2/WebView2.h"

namespace fs = std::filesystem;
using Norvane::Platform::PathFromUtf8;
using Norvane::Platform::Utf8FromPath;

namespace Norvane::Packer {
namespace {

// Removes the temporary folder whatever way the command ends.
class TTemporaryFolder {
public:
    TTemporaryFolder() {
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        if (ec)
            base = "/tmp";
        for (int i = 0; i < 100 && FPath.empty(); ++i) {
            fs::path candidate = base / ("norvane-run-" + std::to_string(Platform::CurrentProcessId()) + "-" +
                                         std::to_string(i));
            if (fs::create_directory(candidate, ec))
                FPath = candidate;
        }
        if (FPath.empty())
            throw EPackError("Cannot create a temporary folder in \"" + Utf8FromPath(base) + "\"");
        // Only the user reaches the package and the reload channel in it.
        fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::replace, ec);
    }
    ~TTemporaryFolder() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    const fs::path& Path() const { return FPath; }

private:
    fs::path FPath;
};

// Ctrl-C reaches the application too (it shares the terminal's process
// group); the packer outlives it to clean up. A handler, unlike ignoring the
// signal, is not inherited by the started program.
void KeepRunning(int) {}

// The SIGINT handler of the run, and the one before it again at the end.
class TKeepRunning {
public:
    TKeepRunning() : FPrevious(std::signal(SIGINT, KeepRunning)) {}
    ~TKeepRunning() { std::signal(SIGINT, FPrevious); }
    TKeepRunning(const TKeepRunning&) = delete;
    TKeepRunning& operator=(const TKeepRunning&) = delete;

private:
    void (*FPrevious)(int);
};

std::unique_ptr<Platform::ChildProcess> Start(const Platform::ProcessStartInfo& Info) {
    auto child = Platform::StartProcess(Info);
    if (!child)
        throw EPackError("Cannot start the packaged application: " + Platform::LastErrorMessage());
    return child;
}

// Ends the application for a restart: asked first, then ended at once when
// it has not gone within a few seconds.
void Stop(Platform::ChildProcess& Child) {
    if (Child.Terminate(false) && Platform::WaitForHandle(Child.EndHandle(), 5000))
        return;
    if (Child.ExitCode() == Platform::StillActive)
        Child.Terminate(true);
    Child.Wait();
}

// The path as the watch reports it: absolute and without "." or "..".
std::string WatchedPath(const std::string& Path) {
    std::error_code ec;
    fs::path path = fs::weakly_canonical(PathFromUtf8(Path), ec);
    return Utf8FromPath(ec ? fs::absolute(PathFromUtf8(Path)).lexically_normal() : path);
}

int RunWatched(TBuildOptions Options, const Platform::ProcessStartInfo& Info, const fs::path& Folder) {
    // Watched before the first pack, so that no save in between goes unseen.
    auto watch = Platform::CreateFileWatch();
    if (!watch)
        throw EPackError("run --watch cannot watch the files: " + Platform::LastErrorMessage());
    const std::string appDir = WatchedPath(Options.AppDir), iniFile = WatchedPath(Options.IniFile),
                      scriptFile =
                          Options.ScriptFile.empty() ? std::string() : WatchedPath(Options.ScriptFile);
    if (!watch->AddFolder(appDir) || !watch->AddFile(iniFile) ||
        (!scriptFile.empty() && !watch->AddFile(scriptFile)))
        throw EPackError("run --watch cannot watch the files: " + Platform::LastErrorMessage());
    BuildPackage(Options);

    const std::string package = Options.Output;
    const std::string channel = Utf8FromPath(Folder / "reload");
    Platform::SetEnv(Platform::ReloadChannelVariable, channel);
    TKeepRunning keepRunning;
    auto child = Start(Info);
    Note("watching \"" + Options.AppDir + "\", \"" + Options.IniFile + "\"" +
         (Options.ScriptFile.empty() ? std::string() : " and \"" + Options.ScriptFile + "\"") +
         " for changes; close the window or press Ctrl-C to end");
    // Each new package is written beside the running one and renamed over it
    // only when it is whole.
    Options.Output = Utf8FromPath(Folder / "application.new");
    bool restart = false;
    for (;;) {
        // Where the system gives no handle of the application's end, its end
        // is checked now and then.
        std::vector<std::string> changed =
            watch->Wait(child->EndHandle() == Platform::NoWaitHandle ? 500 : -1, child->EndHandle());
        if (child->ExitCode() != Platform::StillActive)
            return child->Wait();
        if (changed.empty())
            continue;
        // Saves come in bursts (an editor's backup and rename, a build of
        // many files): packed once they have been quiet for a moment.
        for (;;) {
            std::vector<std::string> more = watch->Wait(250, child->EndHandle());
            if (more.empty())
                break;
            changed.insert(changed.end(), more.begin(), more.end());
        }
        if (child->ExitCode() != Platform::StillActive)
            return child->Wait();
        // A settings change that did not pack still needs the restart once
        // a later save packs.
        restart = restart || std::any_of(changed.begin(), changed.end(), [&](const std::string& Path) {
                      return Path == iniFile || (!scriptFile.empty() && Path == scriptFile);
                  });
        try {
            BuildPackage(Options);
        } catch (const std::exception& e) {
            // Ctrl-C while packing ends the run (the application has it too).
            if (Platform::InterruptRequested())
                throw;
            std::fprintf(stderr, "norvane-pack: error: %s\n", e.what());
            Note("the change was not packed; the application runs on as it was");
            continue;
        }
        // A page change reloads the window. The package is replaced under
        // the running application where the system allows it (not on
        // Windows, where it restarts every time); when the application does
        // not listen (it has not got so far yet), it restarts.
        std::error_code ec;
        bool replaced = false;
        if (!restart) {
            fs::rename(PathFromUtf8(Options.Output), PathFromUtf8(package), ec);
            replaced = !ec;
        }
        const bool reloaded = replaced && Platform::AskToReload(channel);
        restart = false;
        if (reloaded) {
            Note("packed again; the page reloads");
            continue;
        }
        Note("packed again; the application restarts");
        Stop(*child);
        // The ended process's socket stays behind; the next one listens anew.
        fs::remove(PathFromUtf8(channel), ec);
        if (!replaced) {
            fs::rename(PathFromUtf8(Options.Output), PathFromUtf8(package), ec);
            if (ec)
                throw EPackError("Cannot replace the package \"" + package + "\": " + ec.message());
        }
        child = Start(Info);
    }
}

} // namespace

int RunPackage(TBuildOptions Options, const std::vector<std::string>& AppArguments, bool Watch) {
    if (!Options.Output.empty())
        throw EUsageError("run packs into a temporary file and takes no -o");
    TTemporaryFolder folder;
    Options.Output = Utf8FromPath(folder.Path() / "application");
    Platform::ProcessStartInfo info;
    info.Arguments.push_back(Options.Output);
    info.Arguments.insert(info.Arguments.end(), AppArguments.begin(), AppArguments.end());
    // An author's run: the pages' console messages and errors and the failed
    // bridge calls go to this terminal, and the inspector opens with F12.
    Platform::SetEnv(WebView2::DevelopmentVariable, "1");
    if (Watch)
        return RunWatched(Options, info, folder.Path());
    BuildPackage(Options);
    TKeepRunning keepRunning;
    return Start(info)->Wait();
}

} // namespace Norvane::Packer
