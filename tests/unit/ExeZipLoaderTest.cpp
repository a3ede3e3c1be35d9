// The start-up loader run for real: a probe program that runs it is packed
// with a payload (by norvane-pack, or by Info-ZIP zip as an independent
// writer) and started as its own process with its folders in a temporary
// place. No display is given to it, so a step that wrongly tries to show a
// window fails the test instead of waiting for input.
#include "runtime/ExeZipLoader.h"
#include "shared/PayloadFormat.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <sys/stat.h>

using namespace Norvane::Testing;
namespace fs = std::filesystem;

namespace {

const std::string Probe = STARTUP_LOADER_PROBE;
const std::string Packer = STARTUP_PACKER;
const std::string EngineFixture = STARTUP_ENGINE_FIXTURE;

const char* const AdditionalArguments =
    "--disable-logging --disable-features=RendererCodeIntegrity --enable-features=msSpeechRecognition";

struct TProbeRun {
    int ExitCode = -1;
    std::string Output;
    std::map<std::string, std::string> Values; // "Name=value" lines; "Name unset" gives "(unset)"
    bool Loaded() const { return Output.rfind("LOADED\n", 0) == 0; }
};

class ExeZipLoader : public ::testing::Test {
protected:
    TempDir Temp;
    std::string Data = Temp / "data"; // the local application data folder
    std::string Home = Temp / "home";

    void SetUp() override {
        fs::create_directories(Data);
        fs::create_directories(Home);
    }

    // An application folder "site" with a start page, and the settings file.
    std::string MakeSource(const std::string& Name, const std::string& Ini) {
        std::string dir = Temp / Name;
        fs::create_directories(dir + "/site");
        WriteFile(dir + "/site/index.html", "<!doctype html><title>probe</title>\n");
        WriteFile(dir + "/qvx.ini", Ini);
        return dir;
    }

    // The probe with a payload written by norvane-pack.
    std::string Pack(const std::string& Source, const std::string& Loader = EngineFixture) {
        std::string out = Source + "/app";
        auto result =
            RunCommand(ShellQuote(Packer) + " build --app " + ShellQuote(Source + "/site") + " --ini " +
                       ShellQuote(Source + "/qvx.ini") + " --loader " + ShellQuote(Loader) + " --runtime " +
                       ShellQuote(Probe) + " -o " + ShellQuote(out));
        EXPECT_EQ(result.ExitCode, 0) << result.Output;
        return out;
    }

    // The probe with a payload written by Info-ZIP zip from the files of a
    // staging folder (names relative to it), encrypted with Password.
    std::string ZipPack(const std::string& Staging,
                        const std::string& Password = Norvane::Shared::PayloadPassword) {
        std::string zipFile = Staging + ".zip";
        auto zip = RunCommand("cd " + ShellQuote(Staging) + " && zip -q -r -P " + ShellQuote(Password) + " " +
                              ShellQuote(zipFile) + " .");
        EXPECT_EQ(zip.ExitCode, 0) << zip.Output;
        std::string out = Staging + ".app";
        auto join = RunCommand("cat " + ShellQuote(Probe) + " " + ShellQuote(zipFile) + " > " +
                               ShellQuote(out) + " && chmod +x " + ShellQuote(out));
        EXPECT_EQ(join.ExitCode, 0) << join.Output;
        return out;
    }

    // A staging folder for ZipPack with a start page, the engine library and
    // (when not empty) the settings.
    std::string Stage(const std::string& Name, const std::string& Ini) {
        std::string dir = Temp / Name;
        fs::create_directories(dir + "/site");
        WriteFile(dir + "/site/index.html", "<!doctype html>\n");
        fs::copy_file(EngineFixture, dir + "/" + Norvane::Shared::LoaderEntryName);
        if (!Ini.empty())
            WriteFile(dir + "/qvx.ini", Ini);
        return dir;
    }

    TProbeRun Run(const std::string& App, const std::string& Arguments = "",
                  const std::string& Environment = "") {
        std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME=" + ShellQuote(Home) +
                              " XDG_DATA_HOME=" + ShellQuote(Data) +
                              " WEBVIEW2_USER_DATA_FOLDER=/previous/folder"
                              " WEBVIEW2_BROWSER_EXECUTABLE_FOLDER=/some/browser"
                              " WEBVIEW2_RELEASE_CHANNEL_PREFERENCE=1 " +
                              Environment + " timeout 30 " + ShellQuote(App) + " " + Arguments;
        auto result = RunCommand(command);
        TProbeRun run;
        run.ExitCode = result.ExitCode;
        run.Output = result.Output;
        std::istringstream lines(result.Output);
        for (std::string line; std::getline(lines, line);) {
            if (auto eq = line.find('='); eq != std::string::npos)
                run.Values[line.substr(0, eq)] = line.substr(eq + 1);
            else if (auto unset = line.find(" unset"); unset != std::string::npos)
                run.Values[line.substr(0, unset)] = "(unset)";
        }
        return run;
    }
};

const char* const ProbeIni = "[App]\nID=com.example.probe\nName=Probe App\nDirName=site\n";

TEST_F(ExeZipLoader, FillsTheGlobalsPreparesTheFoldersAndSetsTheEngineEnvironment) {
    std::string app = Pack(MakeSource("src", ProbeIni));
    TProbeRun run = Run(app);
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    ASSERT_TRUE(run.Loaded()) << run.Output;

    std::string runtimeDir = Data + "/com.example.probe/";
    std::string webViewDir = runtimeDir + "Win32/";
    EXPECT_EQ(run.Values["AppID"], "com.example.probe");
    EXPECT_EQ(run.Values["AppName"], "Probe App");
    EXPECT_EQ(run.Values["AppFolderName"], "site");
    EXPECT_EQ(run.Values["AppIndexHtml"], "index.html");
    EXPECT_EQ(run.Values["RuntimeDataDir"], runtimeDir);
    EXPECT_EQ(run.Values["WebViewDataDir"], webViewDir);
    EXPECT_EQ(run.Values["WebView2LoaderPath"], webViewDir + "WebView2LoaderWin32.dll");
    EXPECT_GE(std::stoi(run.Values["IndexEntry"]), 0);
    EXPECT_EQ(run.Values["Relaunch"], "0");

    EXPECT_TRUE(fs::is_directory(webViewDir));
    EXPECT_EQ(ReadFile(webViewDir + "WebView2LoaderWin32.dll"), ReadFile(EngineFixture));

    EXPECT_EQ(run.Values["WEBVIEW2_USER_DATA_FOLDER"], webViewDir);
    EXPECT_EQ(run.Values["WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS"], AdditionalArguments);
    EXPECT_EQ(run.Values["WEBVIEW2_BROWSER_EXECUTABLE_FOLDER"], "(unset)");
    EXPECT_EQ(run.Values["WEBVIEW2_RELEASE_CHANNEL_PREFERENCE"], "(unset)");
}

TEST_F(ExeZipLoader, TakesTheStartPageAndTheDataFolderFromTheirSources) {
    // IndexHtml as written; without XDG_DATA_HOME the folder is ~/.local/share.
    std::string source =
        MakeSource("src", "[app]\nid = Probe-2\nname=Second\ndirname=site\nindexhtml=Start.HTML\n");
    WriteFile(source + "/site/start.html", "<!doctype html>\n");
    std::string app = Pack(source);
    auto run = RunCommand("env -u DISPLAY -u XDG_DATA_HOME HOME=" + ShellQuote(Home) + " timeout 30 " +
                          ShellQuote(app));
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_NE(run.Output.find("AppIndexHtml=Start.HTML\n"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("IndexEntry="), std::string::npos);
    EXPECT_EQ(run.Output.find("IndexEntry=-1"), std::string::npos) << "start page not found without case";
    EXPECT_NE(run.Output.find("RuntimeDataDir=" + Home + "/.local/share/Probe-2/\n"), std::string::npos)
        << run.Output;
    EXPECT_TRUE(fs::is_regular_file(Home + "/.local/share/Probe-2/Win32/WebView2LoaderWin32.dll"));
}

TEST_F(ExeZipLoader, WritesTheEngineLibraryOnceAndNeverReplacesIt) {
    std::string app = Pack(MakeSource("src", ProbeIni));
    std::string library = Data + "/com.example.probe/Win32/WebView2LoaderWin32.dll";

    // A library already there (loadable, but not the payload's bytes) is used as it is.
    fs::create_directories(fs::path(library).parent_path());
    std::string placed = ReadFile(EngineFixture) + "placed before the first start";
    WriteFile(library, placed);
    ASSERT_EQ(Run(app).ExitCode, 0);
    EXPECT_EQ(ReadFile(library), placed);
    ASSERT_TRUE(Run(app).Loaded());
    EXPECT_EQ(ReadFile(library), placed);

    // Removing the folder makes the next start write the payload's library again.
    fs::remove_all(Data + "/com.example.probe/Win32");
    TProbeRun again = Run(app);
    ASSERT_TRUE(again.Loaded()) << again.Output;
    EXPECT_EQ(ReadFile(library), ReadFile(EngineFixture));
}

TEST_F(ExeZipLoader, SimultaneousFirstStartsEachFindACompleteEngineLibrary) {
    // A large library takes a while to write; no start may load it half-written.
    std::string big = Temp / "big-engine.so";
    WriteFile(big, ReadFile(EngineFixture) + std::string(24 << 20, '\0'));
    std::string app =
        Pack(MakeSource("src", "[App]\nID=race\nName=Race\nDirName=site\nAllowInstances=1\n"), big);
    std::string script =
        "for i in 1 2 3 4 5 6; do (env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME=" + ShellQuote(Data) +
        " timeout 60 " + ShellQuote(app) + " > " + ShellQuote(Temp / "out") + "$i 2>&1) & done; wait";
    ASSERT_EQ(RunCommand(script).ExitCode, 0);
    for (int i = 1; i <= 6; ++i) {
        std::string output = ReadFile(Temp / ("out" + std::to_string(i)));
        EXPECT_EQ(output.rfind("LOADED\n", 0), 0u) << "start " << i << ": " << output;
    }
    EXPECT_EQ(ReadFile(Data + "/race/Win32/WebView2LoaderWin32.dll"), ReadFile(big));
    // Nothing of the writing is left beside it.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(Data + "/race/Win32"))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

TEST_F(ExeZipLoader, EndsSilentlyWithoutIdentityOrSettings) {
    struct TCase {
        const char* Name;
        const char* Ini; // empty: no qvx.ini in the archive
    };
    const TCase cases[] = {
        {"no-id", "[App]\nName=N\nDirName=site\n"},
        {"empty-id", "[App]\nID=\nName=N\nDirName=site\n"},
        {"no-name", "[App]\nID=x\nDirName=site\n"},
        {"no-dirname", "[App]\nID=x\nName=N\n"},
        {"other-section", "[Application]\nID=x\nName=N\nDirName=site\n"},
        {"no-ini", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string app = ZipPack(Stage(c.Name, c.Ini));
        TProbeRun run = Run(app);
        EXPECT_EQ(run.ExitCode, 0);
        EXPECT_EQ(run.Output, "");
        EXPECT_TRUE(fs::is_empty(Data)) << "folders were made before the identity was checked";
    }
    // The same archive writer with complete settings starts.
    std::string app = ZipPack(Stage("complete", ProbeIni));
    TProbeRun run = Run(app);
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(run.Loaded()) << run.Output;
}

TEST_F(ExeZipLoader, LetsArchiveErrorsAndUnwritableFoldersEscape) {
    // Data that is no archive.
    std::string damaged = Temp / "damaged";
    auto join = RunCommand("cat " + ShellQuote(Probe) + " > " + ShellQuote(damaged) +
                           " && head -c 4000 /dev/urandom >> " + ShellQuote(damaged) + " && chmod +x " +
                           ShellQuote(damaged));
    ASSERT_EQ(join.ExitCode, 0);
    TProbeRun run = Run(damaged);
    EXPECT_EQ(run.ExitCode, 3) << run.Output;
    EXPECT_EQ(run.Output.rfind("ERROR ", 0), 0u) << run.Output;

    // An archive under another password: the settings cannot be read.
    run = Run(ZipPack(Stage("other-password", ProbeIni), "not-the-payload-password"));
    EXPECT_EQ(run.ExitCode, 3) << run.Output;
    EXPECT_EQ(run.Output.rfind("ERROR ", 0), 0u) << run.Output;

    // The data folder cannot be made (a file is in its way): writing the library fails.
    std::string app = Pack(MakeSource("src", ProbeIni));
    fs::remove_all(Data);
    WriteFile(Data, "a file where the folder should be");
    run = Run(app);
    EXPECT_EQ(run.ExitCode, 3) << run.Output;
    EXPECT_EQ(run.Output.rfind("ERROR ", 0), 0u) << run.Output;
}

TEST_F(ExeZipLoader, RelaunchSkipsThePasswordPrompt) {
    // Without a display, a prompt would end in an error; the relaunch form never asks.
    std::string app =
        Pack(MakeSource("src", "[App]\nID=Probe App ID\nName=P\nDirName=site\nPassword=secret\n"));
    TProbeRun run = Run(app, "'Probe App ID' 'file:///page.html'");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_TRUE(run.Loaded());
    EXPECT_EQ(run.Values["Relaunch"], "1");
    // Only the first argument counts, and any number of them.
    run = Run(app, "'Probe App ID'");
    EXPECT_TRUE(run.Loaded()) << run.Output;
    run = Run(app, "'Probe App ID' a b c");
    EXPECT_TRUE(run.Loaded()) << run.Output;
    // Compared exactly: another case is an ordinary start, which asks (and
    // fails here, where there is no display for the prompt).
    run = Run(app, "'probe app id' 'file:///page.html'");
    EXPECT_FALSE(run.Loaded()) << run.Output;
    EXPECT_EQ(run.ExitCode, 3) << run.Output;
}

TEST_F(ExeZipLoader, KeepsTheDataFolderOfAnyIdentifierInsideTheLocalDataFolder) {
    EXPECT_EQ(Norvane::Runtime::FolderNameOfID("com.example.app"), "com.example.app");
    EXPECT_EQ(Norvane::Runtime::FolderNameOfID("{3F2504E0-4F89} App \\ name"), "{3F2504E0-4F89} App \\ name");
    EXPECT_EQ(Norvane::Runtime::FolderNameOfID("a/b"), "a%2Fb");
    EXPECT_EQ(Norvane::Runtime::FolderNameOfID("100%/x"), "100%25%2Fx");
    EXPECT_EQ(Norvane::Runtime::FolderNameOfID(".."), "%2E%2E");
    EXPECT_EQ(Norvane::Runtime::FolderNameOfID("."), "%2E");
    EXPECT_EQ(Norvane::Runtime::FolderNameOfID("..."), "...");
    EXPECT_NE(Norvane::Runtime::FolderNameOfID("a%2Fb"), Norvane::Runtime::FolderNameOfID("a/b"));

    std::string app = Pack(MakeSource("src", "[App]\nID=../../outside\nName=N\nDirName=site\n"));
    TProbeRun run = Run(app);
    ASSERT_TRUE(run.Loaded()) << run.Output;
    EXPECT_EQ(run.Values["RuntimeDataDir"], Data + "/..%2F..%2Foutside/");
    EXPECT_TRUE(fs::is_directory(Data + "/..%2F..%2Foutside/Win32"));
    EXPECT_FALSE(fs::exists(Temp.Path().parent_path() / "outside"));
}

} // namespace
