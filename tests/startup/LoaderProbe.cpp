// Runs the start-up loader of the runtime and prints what it left behind: the
// globals, the engine library's path and the engine's environment. Packed
// like the runtime (with a payload appended) by the loader's tests. Prints
// nothing when the loader ended the process; "ERROR <text>" and exit code 3
// when an error escaped it.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "runtime/ExeZipLoader.h"
#include "shared/browser/EdgeEx.h"

namespace {

void PrintVariable(const char* Name) {
    const char* value = std::getenv(Name);
    if (value)
        std::printf("%s=%s\n", Name, value);
    else
        std::printf("%s unset\n", Name);
}

} // namespace

int main(int argc, char** argv) {
    using namespace Norvane::Runtime;
    SetCommandLine(argc, argv);
    try {
        LoadExeZip();
    } catch (const std::exception& e) {
        std::printf("ERROR %s\n", e.what());
        return 3;
    }
    std::printf("LOADED\n");
    std::printf("AppID=%s\n", AppID.c_str());
    std::printf("AppName=%s\n", AppName.c_str());
    std::printf("AppFolderName=%s\n", AppFolderName.c_str());
    std::printf("AppIndexHtml=%s\n", AppIndexHtml.c_str());
    std::printf("RuntimeDataDir=%s\n", RuntimeDataDir.c_str());
    std::printf("WebViewDataDir=%s\n", WebViewDataDir.c_str());
    std::printf("WebView2LoaderPath=%s\n", Norvane::Shared::WebView2LoaderPath.c_str());
    std::printf("Relaunch=%d\n", IsRelaunch() ? 1 : 0);
    std::printf("IndexEntry=%d\n", ExeZip->FindEntry(AppFolderName + "/" + AppIndexHtml));
    for (const char* name : {UserDataFolderVariable, AdditionalBrowserArgumentsVariable,
                             BrowserExecutableFolderVariable, ReleaseChannelPreferenceVariable})
        PrintVariable(name);
    return 0;
}
