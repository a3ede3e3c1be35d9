#include "shared/SysUtils.h"

#include "platform/ChildProcess.h"
#include "platform/CommandLine.h"
#include "platform/Process.h"
#include "platform/Session.h"
#include "platform/Ui.h"
#include "shared/Streams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using Norvane::Shared::TSysUtils;
using namespace Norvane::Testing;
namespace Platform = Norvane::Platform;

namespace {

// No test may end the machine's session: a session control that refuses and
// reports every call is in place before any test runs.
class RefusingSessionControl : public Platform::SessionControl {
public:
    bool EndSession(Platform::SessionAction, bool) override {
        ADD_FAILURE() << "the real session control was reached";
        return false;
    }
};
const bool SessionGuardInstalled = [] {
    Platform::SetSessionControl(std::make_shared<RefusingSessionControl>());
    return true;
}();

// Sets or removes an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, std::optional<std::string> value)
        : FName(name), FOld(Platform::GetEnv(name)) {
        if (value)
            Platform::SetEnv(name, *value);
        else
            Platform::UnsetEnv(name);
    }
    ~ScopedEnv() {
        if (FOld)
            Platform::SetEnv(FName, *FOld);
        else
            Platform::UnsetEnv(FName);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// Waits for a file another process writes (it renames it into place whole).
bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 400; ++i) {
        if (fs::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(line);
    return lines;
}

// A script that writes its arguments, one a line, to LogPath. It only uses
// the shell's built-ins and absolute paths, so it runs with any PATH.
void WriteRecordingScript(const std::string& scriptPath, const std::string& logPath, int exitCode = 0) {
    WriteFile(scriptPath, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " +
                              ShellQuote(logPath) + ".tmp\n/bin/mv " + ShellQuote(logPath + ".tmp") + " " +
                              ShellQuote(logPath) + "\nexit " + std::to_string(exitCode) + "\n");
    fs::permissions(scriptPath, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

} // namespace

// ---------------------------------------------------------------------------
// Command-line splitting by the Windows rules

TEST(SysUtilsCommandLine, ArgumentsFollowTheWindowsRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Platform::SplitArguments("a  b\tc "), (V{"a", "b", "c"}));
    EXPECT_EQ(Platform::SplitArguments("\"a b c\" d e"), (V{"a b c", "d", "e"}));
    EXPECT_EQ(Platform::SplitArguments(R"("ab\"c" "\\" d)"), (V{"ab\"c", "\\", "d"}));
    EXPECT_EQ(Platform::SplitArguments(R"(a\\\b d"e f"g h)"), (V{R"(a\\\b)", "de fg", "h"}));
    EXPECT_EQ(Platform::SplitArguments(R"(a\\\"b c d)"), (V{R"(a\"b)", "c", "d"}));
    EXPECT_EQ(Platform::SplitArguments(R"(a\\\\"b c" d e)"), (V{R"(a\\b c)", "d", "e"}));
    EXPECT_EQ(Platform::SplitArguments(R"(a"b"" c d)"), (V{"ab\"", "c", "d"}));
    EXPECT_EQ(Platform::SplitArguments(R"("a""b")"), (V{"a\"b"}));
    EXPECT_EQ(Platform::SplitArguments(R"("""")"), (V{"\""}));
    EXPECT_EQ(Platform::SplitArguments(R"("" x "")"), (V{"", "x", ""}));
    EXPECT_EQ(Platform::SplitArguments("\"open ended"), (V{"open ended"}));
    EXPECT_EQ(Platform::SplitArguments(R"(C:\dir\ "x\y")"), (V{R"(C:\dir\)", R"(x\y)"}));
    EXPECT_TRUE(Platform::SplitArguments("  \t ").empty());
}

TEST(SysUtilsCommandLine, ProgramNameEndsAtBlankOrClosingQuote) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Platform::SplitCommandLine(R"("C:\Program Files\x.exe" -a "b c")"),
              (V{R"(C:\Program Files\x.exe)", "-a", "b c"}));
    EXPECT_EQ(Platform::SplitCommandLine(R"(  prog\"x y)"), (V{R"(prog\"x)", "y"}));
    EXPECT_EQ(Platform::SplitCommandLine(R"("dir\" "a b")"), (V{"dir\\", "a b"}));
    EXPECT_EQ(Platform::SplitCommandLine("prog"), (V{"prog"}));
    EXPECT_TRUE(Platform::SplitCommandLine("   ").empty());
}

// ---------------------------------------------------------------------------
// Command output

TEST(SysUtilsGetDosOutput, CollectsBothStreamsExactly) {
    EXPECT_EQ(TSysUtils::GetDosOutput("printf 'hello\\nworld'", "", false), "hello\nworld");
    EXPECT_EQ(TSysUtils::GetDosOutput("printf out; printf err >&2; printf ' again'", "", true),
              "outerr again");
    EXPECT_EQ(TSysUtils::GetDosOutput("true", "", false), "");
    EXPECT_EQ(TSysUtils::GetDosOutput("printf partial; exit 3", "", false), "partial");
}

TEST(SysUtilsGetDosOutput, InterpreterErrorsAreCollected) {
    std::string output = TSysUtils::GetDosOutput("no-such-command-norvane", "", false);
    EXPECT_NE(output.find("no-such-command-norvane"), std::string::npos) << output;
    EXPECT_NE(output.find("not found"), std::string::npos) << output;
}

TEST(SysUtilsGetDosOutput, RunsInTheWorkingFolder) {
    TempDir dir;
    std::string expected = fs::canonical(dir.Path()).string() + "\n";
    EXPECT_EQ(TSysUtils::GetDosOutput("pwd -P", dir.Path().string(), false), expected);
    // A folder that cannot be entered: nothing is started.
    EXPECT_EQ(TSysUtils::GetDosOutput("printf started", dir / "missing", false), "");
    // Empty: the caller's current folder.
    EXPECT_EQ(TSysUtils::GetDosOutput("pwd -P", "", false),
              fs::canonical(fs::current_path()).string() + "\n");
}

TEST(SysUtilsGetDosOutput, LongOutputAndCharactersAcrossPieces) {
    std::string expected;
    for (int i = 1; i <= 5000; ++i)
        expected += std::to_string(i) + "\n";
    EXPECT_EQ(TSysUtils::GetDosOutput("seq 1 5000", "", false), expected);

    // A two-byte character that straddles the 255-byte read boundary.
    std::string text = std::string(254, 'a') + "\xC3\xA9" + std::string(300, 'b') + "\xE2\x82\xAC";
    TempDir dir;
    WriteFile(dir / "text.txt", text);
    EXPECT_EQ(TSysUtils::GetDosOutput("cat text.txt", dir.Path().string(), false), text);
}

TEST(SysUtilsGetDosOutput, DecodesAsUtf8) {
    // A byte that is no UTF-8 becomes the replacement character.
    EXPECT_EQ(TSysUtils::GetDosOutput("printf 'a\\377b'", "", false), "a\xEF\xBF\xBD"
                                                                      "b");
    // A sequence cut short is one replacement character, not one per byte.
    EXPECT_EQ(TSysUtils::GetDosOutput("printf 'a\\360\\237\\230b'", "", false), "a\xEF\xBF\xBD"
                                                                                "b");
    // Each piece is text up to its first zero byte.
    EXPECT_EQ(TSysUtils::GetDosOutput("printf 'a\\000b'", "", false), "a");
}

TEST(SysUtilsGetDosOutput, WaitsUntilDescendantsCloseTheOutput) {
    EXPECT_EQ(TSysUtils::GetDosOutput("(sleep 0.3; printf late) & printf early", "", false), "earlylate");
}

TEST(SysUtilsGetDosOutput, ChildGetsNoOtherOpenFiles) {
    int fd = ::open("/dev/null", O_RDONLY); // without close-on-exec
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::dup2(fd, 57), 57);
    EXPECT_EQ(TSysUtils::GetDosOutput("[ -e /proc/self/fd/57 ] && printf leaked || printf clean", "", false),
              "clean");
    ::close(57);
    ::close(fd);
}

// ---------------------------------------------------------------------------
// Starting programs

TEST(SysUtilsExec, ExecAndWaitReturnsTheExitCode) {
    TempDir dir;
    EXPECT_EQ(TSysUtils::ExecAndWait("/bin/sh -c \"exit 7\""), 7);
    EXPECT_EQ(TSysUtils::ExecAndWait("sh -c \"exit 0\""), 0);
    EXPECT_EQ(TSysUtils::ExecAndWait("no-such-program-norvane --x"), 0);
    EXPECT_EQ(TSysUtils::ExecAndWait(""), 0);
    // Quoted arguments arrive whole.
    std::string out = dir / "args.txt";
    EXPECT_EQ(TSysUtils::ExecAndWait("/bin/sh -c \"printf '[%s]' \\\"$0\\\" \\\"$1\\\" > " + out +
                                     "\" \"a b\" c\\\"d"),
              0);
    EXPECT_EQ(ReadFile(out), "[a b][c\"d]");
    // No other open files are passed on.
    std::string probe = dir / "fd.txt";
    int fd = ::open("/dev/null", O_RDONLY);
    ASSERT_EQ(::dup2(fd, 58), 58);
    TSysUtils::ExecAndWait("/bin/sh -c \"[ -e /proc/self/fd/58 ] && printf leaked > " + probe +
                           " || printf clean > " + probe + "\"");
    ::close(58);
    ::close(fd);
    EXPECT_EQ(ReadFile(probe), "clean");
}

TEST(SysUtilsExec, ExecCmdStartsANewProcessGroup) {
    TempDir dir;
    std::string out = dir / "group.txt";
    // Field 1 of /proc/PID/stat is the process id, field 5 its group.
    TSysUtils::ExecCmd("/bin/sh -c \"cut -d' ' -f1,5 /proc/$$/stat > " + out + "\"", true);
    ASSERT_TRUE(fs::exists(out)); // waited for
    auto fields = Lines(ReadFile(out));
    ASSERT_EQ(fields.size(), 1u);
    std::string pid = fields[0].substr(0, fields[0].find(' '));
    std::string group = fields[0].substr(fields[0].find(' ') + 1);
    EXPECT_EQ(pid, group);
    EXPECT_NE(group, std::to_string(::getpgrp()));

    std::string later = dir / "later.txt";
    TSysUtils::ExecCmd("/bin/sh -c \"printf done > " + later + ".tmp && mv " + later + ".tmp " + later + "\"",
                       false);
    ASSERT_TRUE(WaitForFile(later));
    EXPECT_EQ(ReadFile(later), "done");
}

// ---------------------------------------------------------------------------
// The shell: documents, programs, addresses and the file manager

class SysUtilsShell : public ::testing::Test {
protected:
    void SetUp() override {
        FBin = fs::path(FDir / "bin");
        fs::create_directory(FBin);
        FPath.emplace("PATH", FBin.string());
    }
    void TearDown() override { FPath.reset(); }

    // A stand-in for a desktop tool in the test's PATH.
    std::string FakeTool(const std::string& name, int exitCode = 0) {
        std::string log = FDir / (name + ".log");
        WriteRecordingScript((FBin / name).string(), log, exitCode);
        return log;
    }

    TempDir FDir;
    fs::path FBin;
    std::optional<ScopedEnv> FPath;
};

TEST_F(SysUtilsShell, ShellExecStartsProgramsWithSplitArguments) {
    std::string program = FDir / "program";
    std::string log = FDir / "program.log";
    WriteRecordingScript(program, log);
    ASSERT_TRUE(TSysUtils::ShellExec(program, R"(one "two three"  four\"q "")"));
    ASSERT_TRUE(WaitForFile(log));
    EXPECT_EQ(ReadFile(log), "one\ntwo three\nfour\"q\n\n");
}

TEST_F(SysUtilsShell, ShellExecFindsBareProgramNamesInPath) {
    std::string log = FakeTool("norvane-tool");
    ASSERT_TRUE(TSysUtils::ShellExec("norvane-tool", "x"));
    ASSERT_TRUE(WaitForFile(log));
    EXPECT_EQ(ReadFile(log), "x\n");
}

TEST_F(SysUtilsShell, DocumentsAndAddressesGoToTheDefaultHandler) {
    std::string log = FakeTool("xdg-open");
    std::string document = FDir / "notes with space.txt";
    WriteFile(document, "text");
    ASSERT_TRUE(TSysUtils::ShellExec(document, "ignored parameters"));
    ASSERT_TRUE(WaitForFile(log));
    EXPECT_EQ(ReadFile(log), fs::absolute(document).string() + "\n");

    fs::remove(log);
    ASSERT_TRUE(TSysUtils::ShellOpen("https://example.org/a?b=c&d"));
    ASSERT_TRUE(WaitForFile(log));
    EXPECT_EQ(ReadFile(log), "https://example.org/a?b=c&d\n");

    fs::remove(log);
    ASSERT_TRUE(TSysUtils::ShellOpen(FDir.Path().string()));
    ASSERT_TRUE(WaitForFile(log));
    EXPECT_EQ(ReadFile(log), FDir.Path().string() + "\n");
}

TEST_F(SysUtilsShell, GioServesWhenXdgOpenIsMissing) {
    std::string log = FakeTool("gio");
    ASSERT_TRUE(TSysUtils::ShellOpen("mailto:someone@example.org"));
    ASSERT_TRUE(WaitForFile(log));
    EXPECT_EQ(ReadFile(log), "open\nmailto:someone@example.org\n");
}

TEST_F(SysUtilsShell, NothingToStartIsAFailure) {
    // No handler at all.
    std::string document = FDir / "a.txt";
    WriteFile(document, "x");
    EXPECT_FALSE(TSysUtils::ShellOpen(document));
    EXPECT_FALSE(TSysUtils::ShellOpen("https://example.org/"));
    // A missing file, even with a handler.
    FakeTool("xdg-open");
    EXPECT_FALSE(TSysUtils::ShellExec(FDir / "missing.txt", ""));
    EXPECT_FALSE(TSysUtils::ShellExec("no-such-program-norvane", ""));
    EXPECT_FALSE(TSysUtils::ShellExec("", ""));
}

TEST_F(SysUtilsShell, ShellExploreOpensTheFolderWhenTheFileManagerFails) {
    // A session bus where nothing listens; tests/scripts/session_dbus.sh
    // checks the call itself against a mock file manager.
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (FDir / "no-bus"));
    std::string log = FakeTool("xdg-open");
    fs::create_directory(FDir / "sub");
    ASSERT_TRUE(TSysUtils::ShellExplore(FDir / "sub/item.txt"));
    ASSERT_TRUE(WaitForFile(log));
    EXPECT_EQ(ReadFile(log), FDir / "sub\n");
}

// ---------------------------------------------------------------------------
// Elevated start and the user-interface loop

namespace {

std::atomic<int> MessagePumps{0};
std::atomic<int> TerminateAfterPumps{-1};
std::mutex HookLock;
std::vector<std::string> WindowTitles;
std::vector<int> PressedKeys;

void InstallTestHooks() {
    static std::once_flag once;
    std::call_once(once, [] {
        Platform::UiHooks hooks;
        hooks.ProcessMessages = [] { ++MessagePumps; };
        hooks.Terminated = [] {
            int limit = TerminateAfterPumps;
            return limit >= 0 && MessagePumps >= limit;
        };
        hooks.WindowCaptions = [] {
            std::lock_guard lock(HookLock);
            return WindowTitles;
        };
        hooks.PressKey = [](int key) {
            std::lock_guard lock(HookLock);
            PressedKeys.push_back(key);
            return true;
        };
        hooks.ExtractIcon = [](const std::string& path, int& width, int& height,
                               std::vector<std::uint8_t>& pixels) {
            if (path.find("icon") == std::string::npos)
                return false;
            width = 2;
            height = path.find("broken") == std::string::npos ? 1 : 3;
            pixels = {1, 2, 3, 4, 5, 6, 7, 8};
            return true;
        };
        hooks.TextWidth = [](const std::string& font, int size, bool bold, bool italic,
                             const std::string& text) {
            return static_cast<int>(text.size()) * size + (bold ? 1000 : 0) + (italic ? 100 : 0) +
                   static_cast<int>(font.size());
        };
        Platform::SetUiHooks(hooks);
    });
}

class RecordingElevation : public Platform::Elevation {
public:
    std::unique_ptr<Platform::ChildProcess>
    StartElevated(const std::string& program, const std::vector<std::string>& arguments) override {
        Program = program;
        Arguments = arguments;
        Platform::ProcessStartInfo info;
        info.Arguments.push_back(program);
        info.Arguments.insert(info.Arguments.end(), arguments.begin(), arguments.end());
        return Platform::StartProcess(info);
    }
    std::string Program;
    std::vector<std::string> Arguments;
};

// Processor time this process has used so far, all threads, in seconds.
double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class ScopedElevation {
public:
    explicit ScopedElevation(std::shared_ptr<Platform::Elevation> elevation)
        : FPrevious(Platform::SetElevation(std::move(elevation))) {}
    ~ScopedElevation() { Platform::SetElevation(FPrevious); }
    ScopedElevation(const ScopedElevation&) = delete;
    ScopedElevation& operator=(const ScopedElevation&) = delete;

private:
    std::shared_ptr<Platform::Elevation> FPrevious;
};

} // namespace

TEST(SysUtilsElevation, WaitsForTheExitCodeWhilePumpingMessagesWithoutSpinning) {
    InstallTestHooks();
    auto elevation = std::make_shared<RecordingElevation>();
    ScopedElevation scope(elevation);
    MessagePumps = 0;
    TerminateAfterPumps = -1;
    auto started = std::chrono::steady_clock::now();
    double cpuBefore = ProcessCpuSeconds();
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, "/bin/sh", "-c \"sleep 1.5; exit 5\""), 5);
    double cpu = ProcessCpuSeconds() - cpuBefore;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(elevation->Program, "/bin/sh");
    EXPECT_EQ(elevation->Arguments, (std::vector<std::string>{"-c", "sleep 1.5; exit 5"}));
    // Messages are pumped again and again while the program runs, yet the
    // wait blocks in between instead of keeping a core busy.
    EXPECT_GT(MessagePumps.load(), 1);
    EXPECT_LT(cpu, wall / 2) << cpu << " s of processor time in " << wall << " s";

    // Empty parameters: no arguments at all.
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, "/bin/true", ""), 0);
    EXPECT_TRUE(elevation->Arguments.empty());
}

TEST(SysUtilsElevation, NotStartedGivesZero) {
    InstallTestHooks();
    auto elevation = std::make_shared<RecordingElevation>();
    ScopedElevation scope(elevation);
    TerminateAfterPumps = -1;
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, "/no/such/installer", "/silent"), 0);
}

TEST(SysUtilsElevation, StopsWaitingWhenTheApplicationTerminates) {
    InstallTestHooks();
    auto elevation = std::make_shared<RecordingElevation>();
    ScopedElevation scope(elevation);
    TempDir dir;
    std::string flag = dir / "flag";
    MessagePumps = 0;
    TerminateAfterPumps = 3;
    int code = TSysUtils::ShellExecAsAdminAndWait(
        nullptr, "/bin/sh",
        "-c \"while [ -d '" + dir.Path().string() + "' ] && [ ! -e '" + flag + "' ]; do sleep 0.05; done\"");
    TerminateAfterPumps = -1;
    WriteFile(flag, ""); // lets the child end
    EXPECT_EQ(code, Platform::StillActive);
    EXPECT_EQ(MessagePumps.load(), 3);
}

TEST(SysUtilsElevation, AsRootTheDefaultStartsTheProgramItself) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "the default would ask for authorisation";
    InstallTestHooks();
    TerminateAfterPumps = -1;
    ScopedElevation scope(nullptr); // the default
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, "sh", "-c \"exit 9\""), 9);
}

// ---------------------------------------------------------------------------
// Ending the session

namespace {

class RecordingSessionControl : public Platform::SessionControl {
public:
    bool EndSession(Platform::SessionAction action, bool force) override {
        Calls.emplace_back(action, force);
        return Answer;
    }
    std::vector<std::pair<Platform::SessionAction, bool>> Calls;
    bool Answer = true;
};

} // namespace

TEST(SysUtilsExitWindows, FlagsChooseTheAction) {
    using Norvane::Shared::EWX_FORCE;
    using Norvane::Shared::EWX_LOGOFF;
    using Norvane::Shared::EWX_POWEROFF;
    using Norvane::Shared::EWX_REBOOT;
    using Norvane::Shared::EWX_SHUTDOWN;
    using A = Platform::SessionAction;
    auto session = std::make_shared<RecordingSessionControl>();
    auto previous = Platform::SetSessionControl(session);
    EXPECT_TRUE(TSysUtils::ExitWindows(EWX_LOGOFF | EWX_FORCE));
    EXPECT_TRUE(TSysUtils::ExitWindows(EWX_REBOOT | EWX_FORCE));
    EXPECT_TRUE(TSysUtils::ExitWindows(EWX_SHUTDOWN | EWX_FORCE));
    EXPECT_TRUE(TSysUtils::ExitWindows(EWX_LOGOFF));
    EXPECT_TRUE(TSysUtils::ExitWindows(EWX_POWEROFF));
    session->Answer = false;
    EXPECT_FALSE(TSysUtils::ExitWindows(EWX_REBOOT));
    Platform::SetSessionControl(previous);
    std::vector<std::pair<A, bool>> expected{{A::LogOff, true},  {A::Reboot, true},    {A::PowerOff, true},
                                             {A::LogOff, false}, {A::PowerOff, false}, {A::Reboot, false}};
    EXPECT_EQ(session->Calls, expected);
    EXPECT_EQ(EWX_LOGOFF | EWX_FORCE, 4u);
    EXPECT_EQ(EWX_REBOOT | EWX_FORCE, 6u);
    EXPECT_EQ(EWX_SHUTDOWN | EWX_FORCE, 5u);
}

// ---------------------------------------------------------------------------
// User-interface services

TEST(SysUtilsUi, WindowCaptionsLeaveOutBlankTitles) {
    InstallTestHooks();
    {
        std::lock_guard lock(HookLock);
        WindowTitles = {"Editor", "", "   ", "\t\r\n", " Terminal ", "Überblick"};
    }
    std::vector<std::string> list{"stale"};
    TSysUtils::GetWindowsCaptions(list);
    EXPECT_EQ(list, (std::vector<std::string>{"Editor", " Terminal ", "Überblick"}));
    {
        std::lock_guard lock(HookLock);
        WindowTitles.clear();
    }
    TSysUtils::GetWindowsCaptions(list);
    EXPECT_TRUE(list.empty());
}

TEST(SysUtilsUi, KeysIconsAndTextWidthGoThroughTheUserInterface) {
    InstallTestHooks();
    EXPECT_TRUE(TSysUtils::PressKey(0x5B));
    {
        std::lock_guard lock(HookLock);
        ASSERT_FALSE(PressedKeys.empty());
        EXPECT_EQ(PressedKeys.back(), 0x5B);
    }
    Norvane::Shared::TIconBitmap bitmap;
    EXPECT_FALSE(TSysUtils::ExtractExeIcon("/bin/plain", bitmap));
    EXPECT_EQ(bitmap.Width, 0);
    // Pixel data that does not fit the size is refused.
    EXPECT_FALSE(TSysUtils::ExtractExeIcon("/bin/broken-icon", bitmap));
    EXPECT_EQ(bitmap.Width, 0);
    ASSERT_TRUE(TSysUtils::ExtractExeIcon("/bin/with-icon", bitmap));
    EXPECT_EQ(bitmap.Width, 2);
    EXPECT_EQ(bitmap.Height, 1);
    EXPECT_EQ(bitmap.Pixels.size(), 8u);

    Norvane::Shared::TFontInfo font{"Sans", 12, true, false};
    EXPECT_EQ(TSysUtils::TrueFontWidth(font, "abc"), 3 * 12 + 1000 + 4);
}

TEST(SysUtilsUi, RestartStartsTheExecutableAgainAndAsksToTerminate) {
    TempDir dir;
    auto result = RunCommand("NORVANE_RESTART_DIR=" + ShellQuote(dir.Path().string()) + " " +
                             ShellQuote(SYSUTILS_RESTART_PROBE));
    ASSERT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_EQ(ReadFile(dir / "first"), "running terminated\n");
    ASSERT_TRUE(WaitForFile(dir / "restarted"));
    EXPECT_EQ(ReadFile(dir / "restarted"), "1\n"); // started with no arguments
}

// ---------------------------------------------------------------------------
// Browser-engine check

namespace {

bool LibraryStillLoaded(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    ::dlclose(handle);
    return true;
}

class SysUtilsEngineCheck : public ::testing::Test {
protected:
    void SetUp() override { FLog.emplace("NORVANE_FIXTURE_ENGINE_LOG", FDir / "engine.log"); }
    bool Check(const std::string& mode) {
        ScopedEnv env("NORVANE_FIXTURE_ENGINE_MODE", mode);
        fs::remove(FDir / "engine.log");
        bool installed = TSysUtils::CheckEdgeIsInstalled(SYSUTILS_ENGINE_FIXTURE);
        EXPECT_FALSE(LibraryStillLoaded(SYSUTILS_ENGINE_FIXTURE));
        return installed;
    }
    std::string Log() { return fs::exists(FDir / "engine.log") ? ReadFile(FDir / "engine.log") : ""; }

    TempDir FDir;
    std::optional<ScopedEnv> FLog;
};

} // namespace

TEST_F(SysUtilsEngineCheck, InstalledWhenTheLibraryAnswersAVersion) {
    EXPECT_TRUE(Check("version"));
    EXPECT_EQ(Log(), "called folder=(null)\nfreed \"120.0.2210.91\"\n");
    // The call's result code does not count, only the text.
    EXPECT_TRUE(Check("failed-with-text"));
    EXPECT_EQ(Log(), "called folder=(null)\nfreed \"120.0.2210.91\"\n");
}

TEST_F(SysUtilsEngineCheck, NotInstalledWithoutAVersionText) {
    EXPECT_FALSE(Check("empty"));
    EXPECT_EQ(Log(), "called folder=(null)\nfreed \"\"\n");
    EXPECT_FALSE(Check("null"));
    EXPECT_EQ(Log(), "called folder=(null)\n");
}

TEST_F(SysUtilsEngineCheck, MissingFilesEntriesAndLibraries) {
    EXPECT_FALSE(TSysUtils::CheckEdgeIsInstalled(FDir / "missing.so"));
    EXPECT_FALSE(TSysUtils::CheckEdgeIsInstalled(""));
    EXPECT_FALSE(TSysUtils::CheckEdgeIsInstalled(FDir.Path().string()));
    WriteFile(FDir / "not-a-library.so", "this is text");
    EXPECT_FALSE(TSysUtils::CheckEdgeIsInstalled(FDir / "not-a-library.so"));
    EXPECT_FALSE(TSysUtils::CheckEdgeIsInstalled(SYSUTILS_ENGINE_WITHOUT_ENTRY));
    EXPECT_FALSE(LibraryStillLoaded(SYSUTILS_ENGINE_WITHOUT_ENTRY));
    EXPECT_EQ(Log(), "");
}

// ---------------------------------------------------------------------------
// Folders

TEST(SysUtilsFolders, BaseDirectoriesFollowXdg) {
    TempDir dir;
    ScopedEnv home("HOME", dir.Path().string());
    {
        ScopedEnv data("XDG_DATA_HOME", std::nullopt);
        ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(TSysUtils::GetLocalAppDataDirPath(), dir / ".local/share/");
        EXPECT_EQ(TSysUtils::GetUserAppDataDirPath(), dir / ".config/");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "/srv/data/");
        ScopedEnv config("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(TSysUtils::GetLocalAppDataDirPath(), "/srv/data/");
        EXPECT_EQ(TSysUtils::GetUserAppDataDirPath(), "/srv/config/");
    }
    {
        // Relative values are not used.
        ScopedEnv data("XDG_DATA_HOME", "relative/data");
        ScopedEnv config("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(TSysUtils::GetLocalAppDataDirPath(), dir / ".local/share/");
        EXPECT_EQ(TSysUtils::GetUserAppDataDirPath(), dir / ".config/");
    }
}

TEST(SysUtilsFolders, UserDirectoriesAgreeWithXdgUserDir) {
    auto tool = RunCommand("command -v xdg-user-dir");
    TempDir dir;
    ScopedEnv home("HOME", dir.Path().string());
    ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv desktopEnv("XDG_DESKTOP_DIR", std::nullopt);
    ScopedEnv documentsEnv("XDG_DOCUMENTS_DIR", std::nullopt);
    auto peer = [&](const std::string& name) {
        return Trimmed(RunCommand("xdg-user-dir " + name).Output) + "/";
    };

    // No user-dirs.dirs: the desktop below home, documents the home itself.
    EXPECT_EQ(TSysUtils::GetUserDesktopDirPath(), dir / "Desktop/");
    EXPECT_EQ(TSysUtils::GetUserDocumentsDirPath(), dir.Path().string() + "/");
    if (tool.ExitCode == 0) {
        EXPECT_EQ(TSysUtils::GetUserDesktopDirPath(), peer("DESKTOP"));
        EXPECT_EQ(TSysUtils::GetUserDocumentsDirPath(), peer("DOCUMENTS"));
    }

    fs::create_directories(dir / ".config");
    WriteFile(dir / ".config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                              "XDG_DOCUMENTS_DIR=\"/data/My Documents\"\n"
                                              "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
    EXPECT_EQ(TSysUtils::GetUserDesktopDirPath(), dir / "Schreibtisch/");
    EXPECT_EQ(TSysUtils::GetUserDocumentsDirPath(), "/data/My Documents/");
    if (tool.ExitCode == 0) {
        EXPECT_EQ(TSysUtils::GetUserDesktopDirPath(), peer("DESKTOP"));
        EXPECT_EQ(TSysUtils::GetUserDocumentsDirPath(), peer("DOCUMENTS"));
    }

    // The file is looked for under XDG_CONFIG_HOME; an environment variable
    // serves when the file does not name the folder.
    ScopedEnv otherConfig("XDG_CONFIG_HOME", dir / "elsewhere");
    ScopedEnv documents("XDG_DOCUMENTS_DIR", "/srv/docs");
    EXPECT_EQ(TSysUtils::GetUserDesktopDirPath(), dir / "Desktop/");
    EXPECT_EQ(TSysUtils::GetUserDocumentsDirPath(), "/srv/docs/");
    if (tool.ExitCode == 0) {
        EXPECT_EQ(TSysUtils::GetUserDesktopDirPath(), peer("DESKTOP"));
        EXPECT_EQ(TSysUtils::GetUserDocumentsDirPath(), peer("DOCUMENTS"));
    }
}

TEST(SysUtilsFolders, TempAndSystemFolders) {
    {
        ScopedEnv tmp("TMPDIR", "/var/tmp/norvane/");
        EXPECT_EQ(TSysUtils::GetTempDirPath(), "/var/tmp/norvane/");
    }
    {
        ScopedEnv tmp("TMPDIR", std::nullopt);
        EXPECT_EQ(TSysUtils::GetTempDirPath(), "/tmp/");
    }
    EXPECT_EQ(TSysUtils::GetProgramFilesDirPath(), "/opt/");
    EXPECT_EQ(TSysUtils::GetSystemAppsDirPath(), "/usr/share/applications/");
}

// ---------------------------------------------------------------------------
// Paths

TEST(SysUtilsPaths, ExpandFileNameRelBaseDir) {
    EXPECT_EQ(TSysUtils::ExpandFileNameRelBaseDir("a/../b.txt", "/base"), "/base/b.txt");
    EXPECT_EQ(TSysUtils::ExpandFileNameRelBaseDir("./x/./y", "/base/"), "/base/x/y");
    EXPECT_EQ(TSysUtils::ExpandFileNameRelBaseDir("/abs/./c/../d", "/base"), "/abs/d");
    EXPECT_EQ(TSysUtils::ExpandFileNameRelBaseDir("../../..", "/a"), "/");
    EXPECT_EQ(TSysUtils::ExpandFileNameRelBaseDir("sub/", "/base"), "/base/sub/");
}

TEST(SysUtilsPaths, GetParentDirPath) {
    EXPECT_EQ(TSysUtils::GetParentDirPath("/a/b/c"), "/a/b/");
    EXPECT_EQ(TSysUtils::GetParentDirPath("/a/b/c/"), "/a/b/");
    EXPECT_EQ(TSysUtils::GetParentDirPath("/a/./b/../c"), "/a/");
    EXPECT_EQ(TSysUtils::GetParentDirPath("/"), "/");
    EXPECT_EQ(TSysUtils::GetParentDirPath("x/y"), fs::current_path().string() + "/x/");
}

TEST(SysUtilsPaths, LinkTargets) {
    TempDir dir;
    WriteFile(dir / "target.txt", "x");
    fs::create_directory(dir / "sub");
    fs::create_symlink("../target.txt", dir / "sub/relative");
    fs::create_symlink(dir / "target.txt", dir / "absolute");
    EXPECT_EQ(TSysUtils::GetLnkFilePath(dir / "sub/relative"), dir / "target.txt");
    EXPECT_EQ(TSysUtils::GetLnkFilePath(dir / "absolute"), dir / "target.txt");
    EXPECT_EQ(TSysUtils::GetLnkFilePath(dir / "target.txt"), "");
    EXPECT_EQ(TSysUtils::GetLnkFilePath(dir / "missing"), "");
}

TEST(SysUtilsPaths, IsValidFilePath) {
    TempDir dir;
    WriteFile(dir / "existing.txt", "x");
    EXPECT_TRUE(TSysUtils::IsValidFilePath(dir / "new.txt"));
    EXPECT_TRUE(TSysUtils::IsValidFilePath(dir / "new/deeper/file.txt"));
    EXPECT_TRUE(TSysUtils::IsValidFilePath("relative/name with spaces?*.txt"));
    EXPECT_FALSE(TSysUtils::IsValidFilePath(dir / "existing.txt"));
    EXPECT_FALSE(TSysUtils::IsValidFilePath(dir.Path().string()));
    EXPECT_TRUE(TSysUtils::IsValidFilePath(dir / std::string(255, 'n')));
    EXPECT_FALSE(TSysUtils::IsValidFilePath(dir / std::string(256, 'n')));
    EXPECT_FALSE(TSysUtils::IsValidFilePath(dir / (std::string(256, 'n') + "/file.txt")));
    EXPECT_FALSE(TSysUtils::IsValidFilePath(dir / std::string("bad\0name", 8)));
    EXPECT_FALSE(TSysUtils::IsValidFilePath(""));
}

// ---------------------------------------------------------------------------
// Listing and measuring folders

TEST(SysUtilsListing, DirectoryFilesWithMasks) {
    TempDir dir;
    fs::create_directory(dir / "d2");
    fs::create_directory(dir / "d1");
    fs::create_directory(dir / "d1/inner");
    for (const char* name : {"a.txt", "b.TXT", "c.log", "README", ".hidden", "d1.txt"})
        WriteFile(dir / name, name);
    WriteFile(dir / "d1/inner.txt", "not listed");
    std::string root = dir.Path().string();
    std::vector<std::string> list{"stale"};

    TSysUtils::GetDirectoryFiles(root, true, "*.*", list);
    EXPECT_EQ(list, (std::vector<std::string>{root + "/d1", root + "/d2", root + "/.hidden", root + "/README",
                                              root + "/a.txt", root + "/b.TXT", root + "/c.log",
                                              root + "/d1.txt"}));
    TSysUtils::GetDirectoryFiles(root + "/", false, "*.txt", list);
    EXPECT_EQ(list, (std::vector<std::string>{root + "/a.txt", root + "/b.TXT", root + "/d1.txt"}));
    TSysUtils::GetDirectoryFiles(root, true, "d?", list);
    EXPECT_EQ(list, (std::vector<std::string>{root + "/d1", root + "/d2"}));
    TSysUtils::GetDirectoryFiles(root, false, "README.*", list);
    EXPECT_EQ(list, (std::vector<std::string>{root + "/README"}));
    TSysUtils::GetDirectoryFiles(root, true, "*.", list);
    EXPECT_EQ(list, (std::vector<std::string>{root + "/d1", root + "/d2", root + "/README"}));
    TSysUtils::GetDirectoryFiles(dir / "missing", true, "*.*", list);
    EXPECT_TRUE(list.empty());
}

TEST(SysUtilsListing, MaskMatching) {
    EXPECT_TRUE(TSysUtils::MatchesFileMask("archive.tar.gz", "*.tar.gz"));
    EXPECT_TRUE(TSysUtils::MatchesFileMask("aXbYc", "a*b*c"));
    EXPECT_TRUE(TSysUtils::MatchesFileMask("abc", "a*b*c"));
    EXPECT_FALSE(TSysUtils::MatchesFileMask("abcd", "a*b*c"));
    EXPECT_TRUE(TSysUtils::MatchesFileMask("Photo.JPG", "*.jpg"));
    EXPECT_FALSE(TSysUtils::MatchesFileMask("photo.jpeg", "*.jpg"));
    EXPECT_TRUE(TSysUtils::MatchesFileMask("noext", "*.*"));
    EXPECT_FALSE(TSysUtils::MatchesFileMask("ab", "???"));
    EXPECT_TRUE(TSysUtils::MatchesFileMask("abc", "???"));
}

TEST(SysUtilsListing, SizesAndCounts) {
    TempDir dir;
    WriteFile(dir / "ten.bin", std::string(10, 'x'));
    WriteFile(dir / "twenty.bin", std::string(20, 'y'));
    fs::create_directory(dir / "sub");
    fs::create_directory(dir / "sub2");
    WriteFile(dir / "sub/hundred.bin", std::string(100, 'z'));
    EXPECT_EQ(TSysUtils::GetSizeOfFile(dir / "ten.bin"), 10);
    EXPECT_EQ(std::to_string(TSysUtils::GetSizeOfFile(dir / "twenty.bin")),
              Trimmed(RunCommand("stat -c %s " + ShellQuote(dir / "twenty.bin")).Output));
    EXPECT_EQ(TSysUtils::GetSizeOfFile(dir / "missing"), -1);
    EXPECT_EQ(TSysUtils::GetSizeOfFile(dir / "sub"), 0);
    // Direct files only; subfolders are listed but not entered.
    EXPECT_EQ(TSysUtils::GetSizeOfDir(dir.Path().string(), false), 30);
    EXPECT_EQ(TSysUtils::GetSizeOfDir(dir.Path().string(), true), 30);
    EXPECT_EQ(TSysUtils::GetSizeOfDir(dir / "missing", true), 0);
    EXPECT_EQ(TSysUtils::GetSubdirectoriesCount(dir.Path().string()), 2);
    EXPECT_EQ(TSysUtils::GetSubdirectoriesCount(dir / "sub"), 0);
    EXPECT_EQ(TSysUtils::GetSubdirectoriesCount(dir / "missing"), 0);
}

TEST(SysUtilsListing, FilesHaveSameDateTime) {
    TempDir dir;
    WriteFile(dir / "a", "a");
    WriteFile(dir / "b", "b");
    WriteFile(dir / "c", "c");
    auto base = fs::last_write_time(dir / "a");
    fs::last_write_time(dir / "b", base + std::chrono::microseconds(500));
    fs::last_write_time(dir / "c", base + std::chrono::milliseconds(5));
    EXPECT_TRUE(TSysUtils::FilesHaveSameDateTime(dir / "a", dir / "b"));
    EXPECT_TRUE(TSysUtils::FilesHaveSameDateTime(dir / "b", dir / "a"));
    EXPECT_FALSE(TSysUtils::FilesHaveSameDateTime(dir / "a", dir / "c"));
    EXPECT_FALSE(TSysUtils::FilesHaveSameDateTime(dir / "c", dir / "a"));
    // touch -r as an independent peer.
    ASSERT_EQ(RunCommand("touch -r " + ShellQuote(dir / "c") + " " + ShellQuote(dir / "a")).ExitCode, 0);
    EXPECT_TRUE(TSysUtils::FilesHaveSameDateTime(dir / "a", dir / "c"));
    EXPECT_THROW(TSysUtils::FilesHaveSameDateTime(dir / "a", dir / "missing"), Norvane::Shared::EFOpenError);
    EXPECT_THROW(TSysUtils::FilesHaveSameDateTime(dir / "missing", dir / "a"), Norvane::Shared::EFOpenError);
}

// ---------------------------------------------------------------------------
// Deleting and copying

TEST(SysUtilsFileOperations, DeleteDirectory) {
    TempDir dir;
    fs::create_directories(dir / "tree/a/b");
    WriteFile(dir / "tree/a/b/file.txt", "x");
    WriteFile(dir / "tree/top.txt", "y");
    EXPECT_TRUE(TSysUtils::DeleteDirectory(dir / "tree"));
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_FALSE(TSysUtils::DeleteDirectory(dir / "tree"));
    EXPECT_FALSE(TSysUtils::DeleteDirectory(""));

    // A link to a folder goes; the folder it points to stays whole.
    fs::create_directory(dir / "kept");
    WriteFile(dir / "kept/file.txt", "keep me");
    fs::create_directory_symlink(dir / "kept", dir / "link");
    EXPECT_TRUE(TSysUtils::DeleteDirectory(dir / "link/"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "link")));
    EXPECT_EQ(ReadFile(dir / "kept/file.txt"), "keep me");
}

TEST(SysUtilsFileOperations, CopyFile) {
    TempDir dir;
    WriteFile(dir / "source.txt", "contents");
    EXPECT_TRUE(TSysUtils::CopyFile(dir / "source.txt", dir / "new/folder/copy.txt"));
    EXPECT_EQ(ReadFile(dir / "new/folder/copy.txt"), "contents");
    WriteFile(dir / "existing.txt", "old and longer");
    EXPECT_TRUE(TSysUtils::CopyFile(dir / "source.txt", dir / "existing.txt"));
    EXPECT_EQ(ReadFile(dir / "existing.txt"), "contents");
    // Into an existing folder.
    fs::create_directory(dir / "into");
    EXPECT_TRUE(TSysUtils::CopyFile(dir / "source.txt", dir / "into"));
    EXPECT_EQ(ReadFile(dir / "into/source.txt"), "contents");
    // Failures.
    EXPECT_FALSE(TSysUtils::CopyFile(dir / "missing.txt", dir / "x.txt"));
    EXPECT_FALSE(fs::exists(dir / "x.txt"));
    EXPECT_FALSE(TSysUtils::CopyFile(dir / "source.txt", dir / "source.txt"));
    EXPECT_EQ(ReadFile(dir / "source.txt"), "contents");
    EXPECT_FALSE(TSysUtils::CopyFile(dir / "source.txt", ""));
}

TEST(SysUtilsFileOperations, CopyDirectory) {
    TempDir dir;
    fs::create_directories(dir / "src/a/b");
    WriteFile(dir / "src/top.txt", "top");
    WriteFile(dir / "src/a/b/deep.bin", std::string("\0\1\2binary", 9));
    fs::create_directory(dir / "src/empty");

    EXPECT_TRUE(TSysUtils::CopyDirectory(dir / "src", dir / "copy"));
    auto diff = RunCommand("diff -r " + ShellQuote(dir / "src") + " " + ShellQuote(dir / "copy"));
    EXPECT_EQ(diff.ExitCode, 0) << diff.Output;
    EXPECT_TRUE(fs::is_directory(dir / "copy/empty"));

    // Into an existing folder: the folder is copied below it.
    fs::create_directory(dir / "existing");
    EXPECT_TRUE(TSysUtils::CopyDirectory(dir / "src/", dir / "existing"));
    diff = RunCommand("diff -r " + ShellQuote(dir / "src") + " " + ShellQuote(dir / "existing/src"));
    EXPECT_EQ(diff.ExitCode, 0) << diff.Output;

    // Files already there are replaced, others there are kept.
    WriteFile(dir / "existing/src/top.txt", "changed");
    WriteFile(dir / "existing/src/extra.txt", "extra");
    EXPECT_TRUE(TSysUtils::CopyDirectory(dir / "src", dir / "existing"));
    EXPECT_EQ(ReadFile(dir / "existing/src/top.txt"), "top");
    EXPECT_EQ(ReadFile(dir / "existing/src/extra.txt"), "extra");

    // Onto itself: refused, nothing lost.
    EXPECT_FALSE(TSysUtils::CopyDirectory(dir / "src", dir / "copy/../src"));
    EXPECT_EQ(ReadFile(dir / "src/top.txt"), "top");

    // Into its own subtree: refused, nothing made.
    EXPECT_FALSE(TSysUtils::CopyDirectory(dir / "src", dir / "src/a/inside"));
    EXPECT_FALSE(fs::exists(dir / "src/a/inside"));
    EXPECT_FALSE(TSysUtils::CopyDirectory(dir / "missing", dir / "other"));
    EXPECT_FALSE(fs::exists(dir / "other"));
}

TEST(SysUtilsFileOperations, RemoveUTFBoomFromFile) {
    TempDir dir;
    WriteFile(dir / "bom.txt", "\xEF\xBB\xBFhello\r\n");
    TSysUtils::RemoveUTFBoomFromFile(dir / "bom.txt");
    EXPECT_EQ(ReadFile(dir / "bom.txt"), "hello\r\n");
    // Without a mark (also after removing it once) nothing changes.
    TSysUtils::RemoveUTFBoomFromFile(dir / "bom.txt");
    EXPECT_EQ(ReadFile(dir / "bom.txt"), "hello\r\n");

    std::string large(100000, 'q');
    large[99999] = 'z';
    WriteFile(dir / "large.txt", "\xEF\xBB\xBF" + large);
    TSysUtils::RemoveUTFBoomFromFile(dir / "large.txt");
    EXPECT_EQ(ReadFile(dir / "large.txt"), large);

    WriteFile(dir / "only.txt", "\xEF\xBB\xBF");
    TSysUtils::RemoveUTFBoomFromFile(dir / "only.txt");
    EXPECT_EQ(ReadFile(dir / "only.txt"), "");

    WriteFile(dir / "short.txt", "\xEF\xBB");
    EXPECT_THROW(TSysUtils::RemoveUTFBoomFromFile(dir / "short.txt"), Norvane::Shared::EStreamError);
    EXPECT_EQ(ReadFile(dir / "short.txt"), "\xEF\xBB");
    EXPECT_THROW(TSysUtils::RemoveUTFBoomFromFile(dir / "missing.txt"), Norvane::Shared::EFOpenError);
}

// ---------------------------------------------------------------------------
// Queries and formatting

TEST(SysUtilsQueries, ComputerAndUserNames) {
    EXPECT_EQ(TSysUtils::GetComputerNetName(), Trimmed(RunCommand("uname -n").Output));
    std::string user = TSysUtils::GetUserFromWindows();
    EXPECT_EQ(user, Trimmed(RunCommand("id -un").Output));
    EXPECT_EQ(user.find('\0'), std::string::npos);
}

TEST(SysUtilsFormat, FormatByteSizeThresholds) {
    EXPECT_EQ(TSysUtils::FormatByteSize(0), "0 bytes");
    EXPECT_EQ(TSysUtils::FormatByteSize(1), "1 bytes");
    EXPECT_EQ(TSysUtils::FormatByteSize(1024), "1024 bytes");
    EXPECT_EQ(TSysUtils::FormatByteSize(1025), "1 KB");
    EXPECT_EQ(TSysUtils::FormatByteSize(1536), "1.5 KB");
    EXPECT_EQ(TSysUtils::FormatByteSize(1152), "1.13 KB"); // 1.125, half away from zero
    EXPECT_EQ(TSysUtils::FormatByteSize(1048575), "1024 KB");
    EXPECT_EQ(TSysUtils::FormatByteSize(1048576), "1024 KB");
    EXPECT_EQ(TSysUtils::FormatByteSize(1048577), "1 MB");
    EXPECT_EQ(TSysUtils::FormatByteSize(2359296), "2.25 MB");
    EXPECT_EQ(TSysUtils::FormatByteSize(1073741824), "1024 MB");
    EXPECT_EQ(TSysUtils::FormatByteSize(1073741825), "1 GB");
    EXPECT_EQ(TSysUtils::FormatByteSize(5583457485LL), "5.2 GB");
    EXPECT_EQ(TSysUtils::FormatByteSize(INT64_MAX), "8589934592 GB");
    EXPECT_EQ(TSysUtils::FormatByteSize(-5), "-5 bytes");
}

TEST(SysUtilsFormat, FormatByteSizeUsesTheLocaleDecimalSeparator) {
    TempDir dir;
    auto made = RunCommand("localedef -i de_DE -f UTF-8 " + ShellQuote(dir / "de_DE.UTF-8"));
    if (made.ExitCode != 0)
        GTEST_SKIP() << "cannot build a German locale: " << made.Output;
    ScopedEnv locpath("LOCPATH", dir.Path().string());
    std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "the German locale cannot be selected";
    std::string text = TSysUtils::FormatByteSize(1536);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(text, "1,5 KB");
}
