// The child process pipes of the platform layer: standard error apart from
// standard output, standard input written and closed, and a write to a child
// that reads nothing more, and reads that end with the process itself.
#include "platform/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>

using namespace Norvane::Platform;

namespace {

std::string ReadAll(ChildProcess& Process, bool Error, bool OfProcess = false) {
    std::string text;
    char buffer[256];
    for (;;) {
        const std::size_t n = OfProcess ? (Error ? Process.ReadErrorOutputOfProcess(buffer, sizeof buffer)
                                                 : Process.ReadOutputOfProcess(buffer, sizeof buffer))
                                        : (Error ? Process.ReadErrorOutput(buffer, sizeof buffer)
                                                 : Process.ReadOutput(buffer, sizeof buffer));
        if (n == 0)
            return text;
        text.append(buffer, n);
    }
}

std::unique_ptr<ChildProcess> StartShell(const std::string& Script) {
    ProcessStartInfo info;
    info.Arguments = {"/bin/sh", "-c", Script};
    info.CaptureOutput = true;
    info.SeparateErrorOutput = true;
    info.InputPipe = true;
    return StartProcess(info);
}

} // namespace

TEST(ChildProcess, InputIsWrittenAndClosedAndTheTwoOutputsStayApart) {
    auto process = StartShell("cat; echo done >&2; exit 4");
    ASSERT_TRUE(process);
    ASSERT_TRUE(process->WriteInput("ab", 2));
    ASSERT_TRUE(process->WriteInput("c\n", 2));
    process->CloseInput();
    EXPECT_FALSE(process->WriteInput("x", 1)); // closed
    // Standard error is read to its end first: the output pipe holds the rest meanwhile.
    EXPECT_EQ(ReadAll(*process, true), "done\n");
    EXPECT_EQ(ReadAll(*process, false), "abc\n");
    EXPECT_EQ(process->Wait(), 4);
}

TEST(ChildProcess, WritingToAChildThatReadsNothingMoreFailsWithoutEndingTheCaller) {
    auto process = StartShell("exec 0<&-; echo gone");
    ASSERT_TRUE(process);
    EXPECT_EQ(ReadAll(*process, false), "gone\n");
    EXPECT_EQ(process->Wait(), 0);
    // More than a pipe holds, so the write cannot simply fill a buffer.
    const std::string data(1 << 20, 'x');
    EXPECT_FALSE(process->WriteInput(data.data(), data.size()));
    // Still here (SIGPIPE would have ended this process), and the next write fails too.
    EXPECT_FALSE(process->WriteInput("y", 1));
}

TEST(ChildProcess, WithoutSeparateErrorBothStreamsShareOnePipe) {
    ProcessStartInfo info;
    info.Arguments = {"/bin/sh", "-c", "echo out; echo err >&2"};
    info.CaptureOutput = true;
    auto process = StartProcess(info);
    ASSERT_TRUE(process);
    EXPECT_EQ(ReadAll(*process, false), "out\nerr\n");
    EXPECT_EQ(ReadAll(*process, true), "");
    process->Wait();
}

TEST(ChildProcess, AReadBoundedByTheEndGetsAllOutputButDoesNotWaitForWhatTheProcessLeftRunning) {
    // The shell ends at once; the program it left in the background holds both pipes.
    auto process = StartShell("sleep 60 & echo $!; head -c 70000 /dev/zero | tr '\\0' e >&2");
    ASSERT_TRUE(process);
    const std::string error = ReadAll(*process, true, true); // more than a pipe holds
    const std::string output = ReadAll(*process, false, true);
    EXPECT_EQ(error, std::string(70000, 'e'));
    ASSERT_FALSE(output.empty());
    const pid_t left = static_cast<pid_t>(std::stol(output));
    // Still there and not ended (a zombie, or gone once reaped): the reads did not wait for it.
    std::ifstream stat("/proc/" + std::to_string(left) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto name = line.rfind(')');
    ASSERT_TRUE(name != std::string::npos && name + 2 < line.size()) << line;
    EXPECT_EQ(std::string("ZX").find(line[name + 2]), std::string::npos) << line;
    ::kill(left, SIGKILL);
    EXPECT_EQ(process->Wait(), 0);
}
