// norvane-pack run: packs into a temporary folder, starts the packaged
// application, waits for it, removes the temporary folder and passes the
// application's exit code back, for trying a change in one command. The
// application runs as an author's run (see DevelopmentVariable).
#include <csignal>
#include <filesystem>

#include "packer/Commands.h"
#include "packer/PackError.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/Process.h"
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

} // namespace

int RunPackage(TBuildOptions Options, const std::vector<std::string>& AppArguments) {
    if (!Options.Output.empty())
        throw EUsageError("run packs into a temporary file and takes no -o");
    TTemporaryFolder folder;
    Options.Output = Utf8FromPath(folder.Path() / "application");
    BuildPackage(Options);
    Platform::ProcessStartInfo info;
    info.Arguments.push_back(Options.Output);
    info.Arguments.insert(info.Arguments.end(), AppArguments.begin(), AppArguments.end());
    // An author's run: the pages' console messages and errors and the failed
    // bridge calls go to this terminal, and the inspector opens with F12.
    Platform::SetEnv(WebView2::DevelopmentVariable, "1");
    auto previous = std::signal(SIGINT, KeepRunning);
    auto child = Platform::StartProcess(info);
    if (!child) {
        std::signal(SIGINT, previous);
        throw EPackError("Cannot start the packaged application: " + Platform::LastErrorMessage());
    }
    int code = child->Wait();
    std::signal(SIGINT, previous);
    return code;
}

} // namespace Norvane::Packer
