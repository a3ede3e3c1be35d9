// The packaged executable layout: image end of ELF and Portable Executable
// files, copying the payload in blocks with progress events, appending, and
// the running executable's side (exercised in a copy of this test program
// with a payload appended, run as a separate process).
#include "shared/ExeUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Ui.h"
#include "tests/support/TestSupport.h"

using namespace Norvane::Shared;
using namespace Norvane::Testing;

namespace {

// Records the progress events of one TExeUtils.
struct TProgressLog {
    std::vector<std::int64_t> Max;
    std::vector<std::int64_t> Pos;

    void Attach(TExeUtils& utils) {
        utils.OnProgressMax = [this](TExeUtils&, std::int64_t value) { Max.push_back(value); };
        utils.OnProgressPos = [this](TExeUtils&, std::int64_t value) { Pos.push_back(value); };
    }
    std::string Text() const {
        std::string text = "max=";
        for (auto v : Max)
            text += std::to_string(v) + ";";
        text += " pos=";
        for (auto v : Pos)
            text += std::to_string(v) + ";";
        return text;
    }
};

// When this program runs as a copy with a payload, it does one operation on
// itself and reports on standard output instead of running the tests.
const int RunningExeHelper = [] {
    const char* mode = std::getenv("NORVANE_EXEUTILS_HELPER");
    if (!mode)
        return 0;
    std::string action = mode;
    const char* out = std::getenv("NORVANE_EXEUTILS_OUT");
    TExeUtils utils;
    TProgressLog log;
    log.Attach(utils);
    try {
        if (action == "stub") {
            std::printf("stub=%d\n", utils.ExeHasAttachedStub() ? 1 : 0);
        } else if (action == "get" || action == "get-over") {
            // "get-over" hands in a stream that already holds 7 bytes and stands at its end.
            TMemoryStream stream;
            if (action == "get-over") {
                stream.Write("PREFILL", 7);
            }
            utils.GetZipFromExe(stream);
            std::printf("%s size=%lld position=%lld\n", log.Text().c_str(),
                        static_cast<long long>(stream.Size()), static_cast<long long>(stream.Position()));
            WriteFile(out, stream.AsString());
        } else if (action == "map") {
            auto payload = utils.MapZipFromExe();
            std::printf("%s size=%llu\n", log.Text().c_str(),
                        static_cast<unsigned long long>(payload->Size()));
            WriteFile(out, std::string(reinterpret_cast<const char*>(payload->Data()), payload->Size()));
        } else if (action == "extract") {
            utils.ExtractZipFromExe(out);
            std::printf("%s\n", log.Text().c_str());
        }
    } catch (const std::exception& e) {
        std::printf("error: %s\n", e.what());
    }
    std::fflush(stdout);
    std::_Exit(0);
}();

std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

void AppendBytes(const std::string& path, const std::string& bytes) {
    WriteFile(path, ReadFile(path) + bytes);
}

std::string Runtime() {
    return BuiltProgram("runtime/norvane-runtime");
}

// Writes little- or big-endian fields into a byte buffer.
struct TWriter {
    std::string& Bytes;
    bool Big;
    void Put(std::size_t at, std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i) {
            int shift = 8 * (Big ? width - 1 - i : i);
            Bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> shift) & 0xFF);
        }
    }
};

struct TElfSegment {
    std::uint64_t Offset, FileSize;
};
struct TElfSection {
    std::uint32_t Type;
    std::uint64_t Offset, Size;
};

// A minimal ELF file of the given class and byte order: header, program
// header table right after it, section header table at SectionTable.
std::string MakeElf(bool is64, bool big, const std::vector<TElfSegment>& segments,
                    const std::vector<TElfSection>& sections, std::uint64_t sectionTable,
                    std::uint64_t fileSize) {
    std::string bytes(fileSize, '\0');
    TWriter w{bytes, big};
    std::uint64_t headerSize = is64 ? 64 : 52, phSize = is64 ? 56 : 32, shSize = is64 ? 64 : 40;
    bytes[0] = 0x7F, bytes[1] = 'E', bytes[2] = 'L', bytes[3] = 'F';
    bytes[4] = is64 ? 2 : 1;
    bytes[5] = big ? 2 : 1;
    bytes[6] = 1;
    w.Put(16, 2, 2); // executable
    int word = is64 ? 8 : 4;
    std::size_t at = 24 + static_cast<std::size_t>(word); // after e_entry
    w.Put(at, headerSize, word);                          // e_phoff
    w.Put(at + static_cast<std::size_t>(word), sectionTable, word);
    std::size_t sizes = is64 ? 52 : 40;
    w.Put(sizes, headerSize, 2);
    w.Put(sizes + 2, phSize, 2);
    w.Put(sizes + 4, segments.size(), 2);
    w.Put(sizes + 6, shSize, 2);
    w.Put(sizes + 8, sections.size(), 2);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        std::size_t p = static_cast<std::size_t>(headerSize + i * phSize);
        w.Put(p, 1, 4); // loadable
        if (is64) {
            w.Put(p + 8, segments[i].Offset, 8);
            w.Put(p + 32, segments[i].FileSize, 8);
            w.Put(p + 40, segments[i].FileSize + 0x1000, 8);
        } else {
            w.Put(p + 4, segments[i].Offset, 4);
            w.Put(p + 16, segments[i].FileSize, 4);
            w.Put(p + 20, segments[i].FileSize + 0x1000, 4);
        }
    }
    for (std::size_t i = 0; i < sections.size(); ++i) {
        std::size_t s = static_cast<std::size_t>(sectionTable + i * shSize);
        if (s + shSize > bytes.size())
            break; // a truncated file keeps what fits
        w.Put(s + 4, sections[i].Type, 4);
        w.Put(s + (is64 ? 24 : 16), sections[i].Offset, word);
        w.Put(s + (is64 ? 32 : 20), sections[i].Size, word);
    }
    return bytes;
}

struct TPeSection {
    std::uint32_t PointerToRawData, SizeOfRawData;
};

// A minimal Portable Executable file: DOS header pointing at the PE signature,
// file header, an optional header of 0xE0 bytes and the section table.
std::string MakePe(const std::vector<TPeSection>& sections, std::uint64_t fileSize, bool signature = true) {
    std::string bytes(fileSize, '\0');
    TWriter w{bytes, false};
    bytes[0] = 'M', bytes[1] = 'Z';
    const std::size_t nt = 0x80;
    w.Put(0x3C, nt, 4);
    if (signature)
        bytes[nt] = 'P', bytes[nt + 1] = 'E';
    w.Put(nt + 4, 0x14C, 2); // i386
    w.Put(nt + 6, sections.size(), 2);
    w.Put(nt + 20, 0xE0, 2);
    std::size_t table = nt + 24 + 0xE0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        std::size_t s = table + i * 40;
        bytes.replace(s, 5, ".sect");
        w.Put(s + 16, sections[i].SizeOfRawData, 4);
        w.Put(s + 20, sections[i].PointerToRawData, 4);
    }
    return bytes;
}

TEST(ExeUtilsImageEnd, BuiltProgramsEndWhereTheirFilesEnd) {
    for (const std::string& path :
         {Runtime(), Norvane::Platform::ExecutablePath(), std::filesystem::canonical("/bin/sh").string()}) {
        SCOPED_TRACE(path);
        std::int64_t size = TExeUtils::GetFileSize(path);
        ASSERT_GT(size, 0);
        EXPECT_EQ(TExeUtils::GetImageEndOfFile(path), size);
        TExeUtils utils;
        EXPECT_FALSE(utils.FileHasAttachedStub(path));
        EXPECT_EQ(utils.PayloadSizeOfFile(path), 0);
    }
}

TEST(ExeUtilsImageEnd, ElfOfEitherClassAndByteOrder) {
    for (bool is64 : {false, true}) {
        for (bool big : {false, true}) {
            SCOPED_TRACE(std::string(is64 ? "ELF64" : "ELF32") + (big ? " big-endian" : " little-endian"));
            TempDir dir;
            std::uint64_t shSize = is64 ? 64 : 40;
            const std::uint32_t progbits = 1, nobits = 8;
            // Section header table last; a section that occupies no file space
            // reaches far beyond it and must not count.
            std::vector<TElfSection> sections = {
                {0, 0, 0}, {progbits, 0x100, 0x400}, {nobits, 0x500, 0x100000}, {progbits, 0x500, 0x80}};
            std::uint64_t tableEnd = 0x600 + 4 * shSize;
            std::string tableLast =
                MakeElf(is64, big, {{0, 0x300}, {0x300, 0x200}}, sections, 0x600, tableEnd);
            WriteFile(dir / "a", tableLast);
            EXPECT_EQ(TExeUtils::GetImageEndOfFile(dir / "a"), static_cast<std::int64_t>(tableEnd));

            // A segment's data after the section header table.
            std::uint64_t segmentEnd = tableEnd + 0x345;
            WriteFile(dir / "b", MakeElf(is64, big, {{0, 0x300}, {0x700, segmentEnd - 0x700}}, sections,
                                         0x600, segmentEnd));
            EXPECT_EQ(TExeUtils::GetImageEndOfFile(dir / "b"), static_cast<std::int64_t>(segmentEnd));

            // A section's data after the table that no segment covers (like
            // the symbol table of an unstripped program).
            std::vector<TElfSection> withTrailing = sections;
            withTrailing.push_back({progbits, 0x1000, 0x123});
            std::string trailing = MakeElf(is64, big, {{0, 0x300}}, withTrailing, 0x600, 0x1123);
            WriteFile(dir / "c", trailing);
            EXPECT_EQ(TExeUtils::GetImageEndOfFile(dir / "c"), 0x1123);

            // Bytes after the image are the payload.
            WriteFile(dir / "d", trailing + "PAYLOAD");
            TExeUtils utils;
            EXPECT_EQ(utils.PayloadSizeOfFile(dir / "d"), 7);
            TMemoryStream payload;
            utils.GetZipFromFile(dir / "d", payload);
            EXPECT_EQ(payload.AsString(), "PAYLOAD");
            auto mapped = utils.MapZipFromFile(dir / "d");
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped->Data()), mapped->Size()), "PAYLOAD");

            // A file cut inside its section table is reported, not read as a payload.
            WriteFile(dir / "e", tableLast.substr(0, tableLast.size() - 10));
            EXPECT_GT(TExeUtils::GetImageEndOfFile(dir / "e"), TExeUtils::GetFileSize(dir / "e"));
            EXPECT_THROW(utils.PayloadSizeOfFile(dir / "e"), EExeUtilsError);
            EXPECT_THROW(utils.FileHasAttachedStub(dir / "e"), EExeUtilsError);
        }
    }
}

TEST(ExeUtilsImageEnd, PortableExecutableLargestRawDataEnd) {
    TempDir dir;
    // Unsorted sections; the largest end (0x1000 + 0x400) is in the middle,
    // and a section without raw data counts for nothing.
    std::vector<TPeSection> sections = {{0x400, 0x200}, {0x1000, 0x400}, {0, 0}, {0x600, 0x200}};
    std::string pe = MakePe(sections, 0x1400);
    WriteFile(dir / "app.exe", pe);
    EXPECT_EQ(TExeUtils::GetImageEndOfFile(dir / "app.exe"), 0x1400);
    TExeUtils utils;
    EXPECT_FALSE(utils.FileHasAttachedStub(dir / "app.exe"));

    std::string archive = RandomBytes(25000, 11);
    WriteFile(dir / "packed.exe", pe + archive);
    EXPECT_EQ(TExeUtils::GetImageEndOfFile(dir / "packed.exe"), 0x1400);
    EXPECT_EQ(utils.PayloadSizeOfFile(dir / "packed.exe"), 25000);
    utils.ExtractZipFromFile(dir / "packed.exe", dir / "out.zip");
    EXPECT_EQ(ReadFile(dir / "out.zip"), archive);

    // The fields are unsigned 32-bit values; their sum does not wrap around.
    WriteFile(dir / "wrap.exe", MakePe({{0x400, 0x200}, {0xFFFFFF00u, 0x200}}, 0x1400));
    EXPECT_EQ(TExeUtils::GetImageEndOfFile(dir / "wrap.exe"), 0x100000100LL);
    EXPECT_THROW(utils.PayloadSizeOfFile(dir / "wrap.exe"), EExeUtilsError);

    WriteFile(dir / "nosig.exe", MakePe(sections, 0x1400, false));
    EXPECT_THROW(TExeUtils::GetImageEndOfFile(dir / "nosig.exe"), EExeUtilsError);
    // Section table cut short.
    WriteFile(dir / "short.exe", pe.substr(0, 0x180));
    EXPECT_THROW(utils.PayloadSizeOfFile(dir / "short.exe"), EExeUtilsError);
}

TEST(ExeUtilsImageEnd, OtherFilesAreRefusedByPath) {
    TempDir dir;
    WriteFile(dir / "notes.txt", "just some text, not a program");
    WriteFile(dir / "tiny", "MZ");
    TExeUtils utils;
    EXPECT_THROW(TExeUtils::GetImageEndOfFile(dir / "notes.txt"), EExeUtilsError);
    EXPECT_THROW(TExeUtils::GetImageEndOfFile(dir / "tiny"), EExeUtilsError);
    EXPECT_THROW(TExeUtils::GetImageEndOfFile(dir / "missing"), EExeUtilsError);
    EXPECT_EQ(TExeUtils::GetFileSize(dir / "missing"), -1);
    EXPECT_EQ(TExeUtils::GetFileSize(dir.Path().string()), -1);
    EXPECT_EQ(TExeUtils::GetFileSize(dir / "tiny"), 2);
    try {
        utils.PayloadSizeOfFile(dir / "missing");
        FAIL() << "a missing file was accepted";
    } catch (const EExeUtilsError& e) {
        EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos) << e.what();
    }
    // No payload is an error for the path-taking copies, and no file is made.
    std::filesystem::copy_file(Runtime(), dir / "clean");
    TMemoryStream stream;
    EXPECT_THROW(utils.GetZipFromFile(dir / "clean", stream), EExeUtilsError);
    EXPECT_THROW(utils.MapZipFromFile(dir / "clean"), EExeUtilsError);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_THROW(utils.ExtractZipFromFile(dir / "clean", dir / "out.zip"), EExeUtilsError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.zip"));
}

// A name outside ASCII (and outside Windows-1252) is its UTF-8 text at the
// system: the file written under it is measured and read back by that name,
// and listed with it.
TEST(ExeUtilsFileNames, Utf8NamesReachTheSystemAsTheyAre) {
    using Norvane::Platform::GenericUtf8FromPath;
    using Norvane::Platform::PathFromUtf8;
    using Norvane::Platform::Utf8FromPath;
    TempDir dir;
    const std::string name = Utf8FromPath(dir.Path()) + "/日本語 Ωmega.bin";
    {
        TFileStream file(name, TFileMode::fmCreate);
        file.Write("abc", 3);
    }
    EXPECT_EQ(TExeUtils::GetFileSize(name), 3);
    EXPECT_EQ(ReadFileBytes(name), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
    std::vector<std::string> listed;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        listed.push_back(Utf8FromPath(entry.path().filename()));
    EXPECT_EQ(listed, std::vector<std::string>{"日本語 Ωmega.bin"});
    EXPECT_EQ(GenericUtf8FromPath(PathFromUtf8("日本語") / PathFromUtf8("ページ.html")),
              "日本語/ページ.html");
}

TEST(ExeUtilsCopy, BlocksOfTenThousandTwoHundredFortyBytes) {
    struct {
        std::size_t Length;
        std::vector<std::int64_t> Positions;
    } cases[] = {{1, {1}},
                 {10240, {10240}},
                 {30720, {10240, 20480, 30720}},
                 {20481, {10240, 20480, 20481}},
                 {10239, {10239}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Length);
        TempDir dir;
        std::string exe = dir / "app";
        std::filesystem::copy_file(Runtime(), exe);
        std::string payload = RandomBytes(c.Length, static_cast<unsigned>(c.Length));
        AppendBytes(exe, payload);

        TExeUtils utils;
        EXPECT_TRUE(utils.FileHasAttachedStub(exe));
        TProgressLog log;
        log.Attach(utils);
        TMemoryStream stream;
        utils.GetZipFromFile(exe, stream);
        EXPECT_EQ(stream.AsString(), payload);
        EXPECT_EQ(log.Max, std::vector<std::int64_t>{static_cast<std::int64_t>(c.Length)});
        EXPECT_EQ(log.Pos, c.Positions);

        TProgressLog fileLog;
        fileLog.Attach(utils);
        utils.ExtractZipFromFile(exe, dir / "payload.zip");
        EXPECT_EQ(ReadFile(dir / "payload.zip"), payload);
        EXPECT_EQ(fileLog.Pos, c.Positions);

        // Appending copies the same way.
        std::filesystem::copy_file(Runtime(), dir / "fresh");
        TProgressLog appendLog;
        appendLog.Attach(utils);
        utils.AppendZipToExe(dir / "payload.zip", dir / "fresh");
        EXPECT_EQ(appendLog.Max, std::vector<std::int64_t>{static_cast<std::int64_t>(c.Length)});
        EXPECT_EQ(appendLog.Pos, c.Positions);
    }
}

TEST(ExeUtilsCopy, EventsThatAreNotAssignedAreNotRaised) {
    TempDir dir;
    std::filesystem::copy_file(Runtime(), dir / "app");
    AppendBytes(dir / "app", "xyz");
    TExeUtils utils;
    TMemoryStream stream;
    utils.GetZipFromFile(dir / "app", stream);
    EXPECT_EQ(stream.AsString(), "xyz");
}

TEST(ExeUtilsCopy, AppendThenReadBackByteExact) {
    TempDir dir;
    std::string exe = dir / "app";
    std::filesystem::copy_file(Runtime(), exe);
    std::string runtime = ReadFile(Runtime());
    std::string archive = RandomBytes(123457, 5);
    WriteFile(dir / "archive.zip", archive);

    TExeUtils utils;
    utils.AppendZipToExe(dir / "archive.zip", exe);
    EXPECT_EQ(ReadFile(exe), runtime + archive);
    EXPECT_EQ(TExeUtils::GetImageEndOfFile(exe), static_cast<std::int64_t>(runtime.size()));
    EXPECT_EQ(utils.PayloadSizeOfFile(exe), static_cast<std::int64_t>(archive.size()));

    // The copy goes at the target's position.
    TMemoryStream stream(std::vector<std::uint8_t>{'a', 'b'});
    stream.Seek(0, TSeekOrigin::soEnd);
    utils.GetZipFromFile(exe, stream);
    EXPECT_EQ(stream.AsString(), "ab" + archive);

    // Opening files that are not there raises the file error.
    EXPECT_THROW(utils.AppendZipToExe(dir / "missing.zip", exe), EFOpenError);
    EXPECT_THROW(utils.AppendZipToExe(dir / "archive.zip", dir / "missing"), EFOpenError);
    EXPECT_EQ(ReadFile(exe), runtime + archive);
}

// --- The running executable ---

class ExeUtilsRunning : public ::testing::Test {
protected:
    TempDir Dir;
    std::string Exe = Dir / "selfcopy";

    void SetUp() override { std::filesystem::copy_file(Norvane::Platform::ExecutablePath(), Exe); }
    CommandResult Run(const std::string& action) {
        return RunCommand("NORVANE_EXEUTILS_HELPER=" + action +
                          " NORVANE_EXEUTILS_OUT=" + ShellQuote(Dir / "out") + " " + ShellQuote(Exe));
    }
};

TEST_F(ExeUtilsRunning, WithoutPayloadHasNoStub) {
    TExeUtils utils;
    EXPECT_FALSE(utils.ExeHasAttachedStub());
    EXPECT_EQ(Run("stub").Output, "stub=0\n");
}

TEST_F(ExeUtilsRunning, OneExtraByteIsThePayload) {
    AppendBytes(Exe, "Z");
    EXPECT_EQ(Run("stub").Output, "stub=1\n");
    EXPECT_EQ(Run("get").Output, "max=1; pos=1; size=1 position=1\n");
    EXPECT_EQ(ReadFile(Dir / "out"), "Z");
    EXPECT_EQ(Run("map").Output, "max=1; pos=1; size=1\n");
    EXPECT_EQ(ReadFile(Dir / "out"), "Z");
}

TEST_F(ExeUtilsRunning, CopiesThePayloadInBlocksFromPositionZero) {
    std::string payload = RandomBytes(30720, 9);
    AppendBytes(Exe, payload);
    // The stream held 7 bytes and stood at its end; the copy starts at 0.
    EXPECT_EQ(Run("get-over").Output, "max=30720; pos=10240;20480;30720; size=30720 position=30720\n");
    EXPECT_EQ(ReadFile(Dir / "out"), payload);

    WriteFile(Dir / "out",
              "an older, longer file that is replaced entirely by the payload" + std::string(40000, '#'));
    EXPECT_EQ(Run("extract").Output, "max=30720; pos=10240;20480;30720;\n");
    EXPECT_EQ(ReadFile(Dir / "out"), payload);
}

TEST_F(ExeUtilsRunning, AppendedArchiveIsReadBackExactly) {
    std::string archive = RandomBytes(54321, 4);
    WriteFile(Dir / "archive.zip", archive);
    TExeUtils utils;
    utils.AppendZipToExe(Dir / "archive.zip", Exe);
    EXPECT_EQ(Run("get").Output.substr(0, 10), "max=54321;");
    EXPECT_EQ(ReadFile(Dir / "out"), archive);
    EXPECT_EQ(Run("map").Output, "max=54321; pos=54321; size=54321\n");
    EXPECT_EQ(ReadFile(Dir / "out"), archive);
}

// With no payload the running executable shows the error box and ends with 0.
void ExpectNotAValidApplication(const std::function<void(TExeUtils&)>& operation) {
    Norvane::Platform::UiHooks hooks;
    hooks.MessageBox = [](const std::string& text, const std::string& caption,
                          Norvane::Platform::MessageBoxIcon icon,
                          Norvane::Platform::MessageBoxButtons buttons) {
        std::fprintf(stderr, "box caption=[%s] icon=%d buttons=%d text=[%s]\n", caption.c_str(),
                     static_cast<int>(icon), static_cast<int>(buttons), text.c_str());
        return Norvane::Platform::MessageBoxResult::Ok;
    };
    Norvane::Platform::SetUiHooks(hooks);
    TExeUtils utils;
    operation(utils);
    std::fprintf(stderr, "returned\n");
    std::exit(3);
}

TEST(ExeUtilsRunningDeathTest, NoPayloadShowsTheErrorBoxAndExitsWithZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* expected =
        "box caption=\\[Error\\] icon=1 buttons=0 text=\\[This is not a valid Windows application\\]";
    EXPECT_EXIT(ExpectNotAValidApplication([](TExeUtils& u) {
                    TMemoryStream stream;
                    u.GetZipFromExe(stream);
                }),
                ::testing::ExitedWithCode(0), expected);
    EXPECT_EXIT(ExpectNotAValidApplication([](TExeUtils& u) { u.MapZipFromExe(); }),
                ::testing::ExitedWithCode(0), expected);
    // The child process re-runs this body, so the path is fixed rather than a
    // temporary folder that the exiting child could not remove.
    std::string zip = ::testing::TempDir() + "norvane-exeutils-no-payload.zip";
    std::filesystem::remove(zip);
    EXPECT_EXIT(ExpectNotAValidApplication([&](TExeUtils& u) { u.ExtractZipFromExe(zip); }),
                ::testing::ExitedWithCode(0), expected);
    EXPECT_FALSE(std::filesystem::exists(zip));
}

} // namespace
