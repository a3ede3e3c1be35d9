// The start program's loading of a library from bytes, and the start program
// itself: it must keep the program's global scope to the C library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/posix/start/LibraryImage.h"
#include "tests/support/TestSupport.h"

using namespace Norvane::Platform::Start;
using Norvane::Testing::ReadFile;
using Norvane::Testing::RunCommand;
using Norvane::Testing::TempDir;

namespace {

int AnswerOf(void* Library) {
    using TAnswer = int (*)();
    auto Answer = reinterpret_cast<TAnswer>(::dlsym(Library, "NorvaneImageFixtureAnswer"));
    return Answer ? Answer() : -1;
}

const unsigned char* Bytes(const std::string& Text) {
    return reinterpret_cast<const unsigned char*>(Text.data());
}

} // namespace

TEST(LibraryImage, LoadsFromAMemoryFileOrATemporaryFileThatIsRemovedAtOnce) {
    const std::string Image = ReadFile(LIBRARY_IMAGE_FIXTURE);
    ASSERT_GT(Image.size(), 1000u);
    char Error[256] = "untouched";
    void* FromMemory =
        OpenLibraryImage(Bytes(Image), Image.size(), TImagePlace::MemoryFile, Error, sizeof Error);
    ASSERT_NE(FromMemory, nullptr) << Error;
    EXPECT_STREQ(Error, "");
    EXPECT_EQ(AnswerOf(FromMemory), 42);

    TempDir Runtime;
    ::setenv("XDG_RUNTIME_DIR", Runtime.Path().c_str(), 1);
    void* FromFile =
        OpenLibraryImage(Bytes(Image), Image.size(), TImagePlace::TemporaryFile, Error, sizeof Error);
    ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_NE(FromFile, nullptr) << Error;
    EXPECT_NE(FromFile, FromMemory); // a library of its own, not the one loaded before
    EXPECT_EQ(AnswerOf(FromFile), 42);
    EXPECT_TRUE(std::filesystem::is_empty(Runtime.Path()));
}

TEST(LibraryImage, BytesThatAreNoLibraryAreRefusedWithTheReasonAndLeaveNothing) {
    const std::string Junk(4096, 'x');
    TempDir Runtime;
    ::setenv("XDG_RUNTIME_DIR", Runtime.Path().c_str(), 1);
    for (TImagePlace Place : {TImagePlace::MemoryFile, TImagePlace::TemporaryFile}) {
        char Error[256] = "untouched";
        EXPECT_EQ(OpenLibraryImage(Bytes(Junk), Junk.size(), Place, Error, sizeof Error), nullptr);
        EXPECT_NE(std::string(Error).find("cannot load the runtime library: "), std::string::npos) << Error;
        // A reason that does not fit is cut, never overrun.
        char Short[8];
        EXPECT_EQ(OpenLibraryImage(Bytes(Junk), Junk.size(), Place, Short, sizeof Short), nullptr);
        EXPECT_EQ(std::string(Short), "cannot ");
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(std::filesystem::is_empty(Runtime.Path()));
}

TEST(RuntimeProgram, NeedsNothingButTheCLibraryAndCarriesTheRuntime) {
    auto Dynamic = RunCommand("readelf -d " + Norvane::Testing::ShellQuote(RUNTIME_PROGRAM));
    ASSERT_EQ(Dynamic.ExitCode, 0) << Dynamic.Output;
    std::istringstream Lines(Dynamic.Output);
    std::string Line, Needed;
    while (std::getline(Lines, Line))
        if (Line.find("(NEEDED)") != std::string::npos)
            Needed += Line.substr(Line.find('[')) + " ";
    EXPECT_EQ(Needed, "[libc.so.6] ");

    // The carried library is the one built beside it, byte for byte.
    const std::string Program = ReadFile(RUNTIME_PROGRAM);
    const std::string Library = ReadFile(RUNTIME_LIBRARY);
    EXPECT_NE(Program.find(Library), std::string::npos);
}
