// The payload archive reader against archives written by Info-ZIP zip, the
// independent peer: stored and deflated entries with traditional encryption,
// name lookup, and every kind of bad input.
#include "shared/ExeZip.h"
#include "shared/PayloadFormat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <random>
#include <sstream>
#include <thread>

#include "tests/support/TestSupport.h"

using namespace Norvane::Shared;
using namespace Norvane::Testing;

// The largest single allocation since the last reset, to catch reservations
// sized by untrusted header fields.
static std::atomic<std::size_t> LargestAllocation{0};

// GCC pairs the replaced operators with malloc and free when it inlines them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    std::size_t seen = LargestAllocation.load();
    while (size > seen && !LargestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// A folder "app" with a small tree, zipped by Info-ZIP with the payload password.
class ExeZipTest : public ::testing::Test {
protected:
    TempDir Dir;
    std::string Text = "<html><body>start</body></html>\n";
    std::string Binary = RandomBytes(300000, 7); // several read buffers long

    void SetUp() override {
        std::filesystem::create_directories(Dir.Path() / "src/app/css");
        WriteFile(Dir / "src/app/index.html", Text);
        WriteFile(Dir / "src/app/css/site.css", "body { color: red; }\n");
        WriteFile(Dir / "src/app/data.bin", Binary);
        WriteFile(Dir / "src/qvx.ini", "[App]\nID=x\n");
    }

    // Runs Info-ZIP zip in the source folder; Options such as -0 or -9.
    std::string Zip(const std::string& options, const std::string& names, const std::string& password) {
        std::string archive = Dir / ("archive" + std::to_string(++FCount) + ".zip");
        auto result = RunCommand("cd " + ShellQuote((Dir.Path() / "src").string()) + " && zip -q -X " +
                                 options + (password.empty() ? "" : " -P " + ShellQuote(password)) + " " +
                                 ShellQuote(archive) + " " + names);
        EXPECT_EQ(result.ExitCode, 0) << result.Output;
        return archive;
    }

    static TMemoryStream Load(const std::string& path) { return TMemoryStream(Bytes(ReadFile(path))); }

private:
    int FCount = 0;
};

TEST_F(ExeZipTest, ReadsStoredAndDeflatedEncryptedEntriesByteExact) {
    for (const std::string options : {"-0 -r", "-9 -r"}) {
        SCOPED_TRACE(options);
        TMemoryStream stream = Load(Zip(options, "qvx.ini app", PayloadPassword));
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        zip.Open(stream);
        ASSERT_TRUE(zip.Active());
        EXPECT_EQ(zip.ExtractEntryToString("app/index.html"), Text);
        EXPECT_EQ(zip.ExtractEntryToString("app/data.bin"), Binary);
        EXPECT_EQ(zip.ExtractEntryToString("qvx.ini"), "[App]\nID=x\n");
        // A folder entry holds no data.
        ASSERT_GE(zip.FindEntry("app/css/"), 0);
        EXPECT_EQ(zip.ExtractEntryToString("app/css/"), "");
    }
}

TEST_F(ExeZipTest, ExtractWritesAtTheTargetsPosition) {
    TMemoryStream stream = Load(Zip("-0", "app/css/site.css", PayloadPassword));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(stream);
    TMemoryStream target(Bytes("0123456789"));
    target.SetPosition(4);
    zip.ExtractEntry("app/css/site.css", target);
    EXPECT_EQ(target.AsString(), "0123body { color: red; }\n");
}

TEST_F(ExeZipTest, EntriesReportSizesMethodsAndHeaderFlags) {
    // Writing to standard output makes zip use data descriptors as well.
    std::string stdoutArchive = Dir / "piped.zip";
    auto result = RunCommand("cd " + ShellQuote((Dir.Path() / "src").string()) + " && zip -q -X -9 -P " +
                             ShellQuote(PayloadPassword) + " - app/index.html app/data.bin > " +
                             ShellQuote(stdoutArchive));
    ASSERT_EQ(result.ExitCode, 0) << result.Output;
    struct {
        std::string Path;
        std::uint16_t Method;
    } cases[] = {{Zip("-0", "app/index.html app/data.bin", PayloadPassword), 0},
                 {Zip("-9", "app/index.html app/data.bin", PayloadPassword), 8},
                 {stdoutArchive, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        TMemoryStream stream = Load(c.Path);
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        zip.Open(stream);
        auto entries = zip.Entries();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(zip.EntryCount(), 2);
        EXPECT_EQ(entries[0].Name, "app/index.html");
        EXPECT_EQ(entries[1].Name, "app/data.bin");
        EXPECT_EQ(entries[0].Size, Text.size());
        EXPECT_EQ(entries[1].Size, Binary.size());
        for (const auto& e : entries) {
            EXPECT_EQ(e.Method, c.Method);
            EXPECT_TRUE(e.Encrypted);
            // Encrypted (bit 0) with a data descriptor (bit 3), in both headers.
            EXPECT_EQ(e.Flags & 0x0009, 0x0009);
            EXPECT_EQ(e.LocalFlags, e.Flags);
        }
        if (c.Method == 0) {
            EXPECT_EQ(entries[0].CompressedSize, Text.size() + 12); // the encryption header
        } else {
            EXPECT_LT(entries[0].CompressedSize, Text.size() + 12);
        }
    }
}

TEST_F(ExeZipTest, NamesMatchLettersAToZWithoutCaseOnly) {
    std::filesystem::create_directories(Dir.Path() / "src/Case");
    WriteFile(Dir / "src/Case/Readme.txt", "first");
    WriteFile(Dir / "src/Case/README.TXT", "second");
    WriteFile(Dir / "src/Case/\xC3\xA9t\xC3\xA9.txt", "accented"); // "été.txt"
    TMemoryStream stream = Load(Zip(
        "-0", "app/index.html Case/Readme.txt Case/README.TXT Case/\xC3\xA9t\xC3\xA9.txt", PayloadPassword));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(stream);

    EXPECT_EQ(zip.FindEntry("app/index.html"), 0);
    EXPECT_EQ(zip.FindEntry("APP/Index.HTML"), 0);
    EXPECT_EQ(zip.ExtractEntryToString("App/INDEX.html"), Text);
    // Separators are compared as stored.
    EXPECT_EQ(zip.FindEntry("app\\index.html"), -1);
    EXPECT_EQ(zip.FindEntry("/app/index.html"), -1);
    EXPECT_EQ(zip.FindEntry("app/index.htm"), -1);
    // Two stored names equal without case: the first one wins either way.
    EXPECT_EQ(zip.FindEntry("case/readme.txt"), 1);
    EXPECT_EQ(zip.FindEntry("CASE/README.TXT"), 1);
    EXPECT_EQ(zip.ExtractEntryToString("Case/README.TXT"), "first");
    // Letters outside A to Z compare exactly ("É" is not "é").
    EXPECT_EQ(zip.FindEntry("CASE/\xC3\xA9T\xC3\xA9.TXT"), 3);
    EXPECT_EQ(zip.FindEntry("case/\xC3\x89t\xC3\xA9.txt"), -1);
}

TEST_F(ExeZipTest, AbsentNameWritesNothingAndRaisesNothing) {
    TMemoryStream stream = Load(Zip("-0 -r", "app", PayloadPassword));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(stream);
    TMemoryStream target(Bytes("keep"));
    target.SetPosition(2);
    EXPECT_NO_THROW(zip.ExtractEntry("app/missing.html", target));
    EXPECT_NO_THROW(zip.ExtractEntry("", target));
    EXPECT_EQ(target.AsString(), "keep");
    EXPECT_EQ(target.Position(), 2);
}

TEST_F(ExeZipTest, WrongOrMissingPasswordRaisesAndLeavesTargetUntouched) {
    for (const std::string options : {"-0", "-9"}) {
        SCOPED_TRACE(options);
        TMemoryStream stream = Load(Zip(options, "app/index.html app/data.bin", PayloadPassword));
        for (const std::string password : {"", "w4kd81pz0qr6nht3xa9cyb2jmf7ue5vlgs0x", "wrong"}) {
            TExeZip zip;
            zip.SetPassword(password);
            zip.Open(stream);
            TMemoryStream target;
            EXPECT_THROW(zip.ExtractEntry("app/data.bin", target), EZipError) << password;
            EXPECT_EQ(target.Size(), 0);
        }
        // Setting the password after opening applies to later extractions.
        TExeZip zip;
        zip.Open(stream);
        EXPECT_THROW(zip.ExtractEntryToString("app/index.html"), EZipError);
        zip.SetPassword(PayloadPassword);
        EXPECT_EQ(zip.ExtractEntryToString("app/index.html"), Text);
    }
}

TEST_F(ExeZipTest, DamagedEntryDataRaisesAndLeavesTargetUntouched) {
    for (const std::string options : {"-0", "-9"}) {
        SCOPED_TRACE(options);
        std::string bytes = ReadFile(Zip(options, "app/data.bin app/index.html", PayloadPassword));
        // The first entry's data begins after the 30-byte local header, its
        // name and extra field, and the 12-byte encryption header.
        auto le16 = [&](std::size_t at) {
            return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                            (static_cast<unsigned char>(bytes[at + 1]) << 8));
        };
        std::size_t dataStart = 30 + le16(26) + le16(28) + 12;
        bytes[dataStart + 5000] = static_cast<char>(bytes[dataStart + 5000] ^ 0x5A);
        TMemoryStream stream(Bytes(bytes));
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        zip.Open(stream);
        TMemoryStream target;
        try {
            zip.ExtractEntry("app/data.bin", target);
            FAIL() << "damaged data was accepted";
        } catch (const EZipError& e) {
            EXPECT_NE(std::string(e.what()).find("app/data.bin"), std::string::npos) << e.what();
            if (options == "-0") {
                EXPECT_NE(std::string(e.what()).find("CRC"), std::string::npos) << e.what();
            }
        }
        EXPECT_EQ(target.Size(), 0);
        // The other entry is still readable.
        EXPECT_EQ(zip.ExtractEntryToString("app/index.html"), Text);
    }
}

TEST_F(ExeZipTest, LyingHeadersAreRefusedWithoutLargeAllocations) {
    auto patch16 = [](std::string& bytes, std::size_t at, std::uint16_t orBits) {
        bytes[at] = static_cast<char>(bytes[at] | (orBits & 0xFF));
        bytes[at + 1] = static_cast<char>(bytes[at + 1] | (orBits >> 8));
    };
    auto set32 = [](std::string& bytes, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    struct TCase {
        const char* What;
        std::string Bytes;
    };
    std::string plain = ReadFile(Zip("-0", "app/css/site.css", ""));
    std::string encrypted = ReadFile(Zip("-0", "app/css/site.css", PayloadPassword));
    std::vector<TCase> cases;
    // Uncompressed size 0xF0000000 in both headers of a ~150-byte archive.
    std::string huge = plain;
    set32(huge, 22, 0xF0000000);
    set32(huge, huge.rfind(std::string("PK\x01\x02", 4)) + 24, 0xF0000000);
    cases.push_back({"lying size", huge});
    // Strong encryption (bit 6) in the central and the local header.
    std::string strong = encrypted;
    patch16(strong, 6, 0x0040);
    patch16(strong, strong.rfind(std::string("PK\x01\x02", 4)) + 8, 0x0040);
    cases.push_back({"strong encryption", strong});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TMemoryStream stream(Bytes(c.Bytes));
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        zip.Open(stream);
        TMemoryStream target;
        LargestAllocation = 0;
        EXPECT_THROW(zip.ExtractEntry("app/css/site.css", target), EZipError);
        EXPECT_LT(LargestAllocation.load(), std::size_t{1} << 20);
        EXPECT_EQ(target.Size(), 0);
    }
}

TEST_F(ExeZipTest, StreamedEntryAnswersSeeksByteForByte) {
    // Longer than a few decoder checkpoint intervals.
    std::string large = RandomBytes(9 << 20, 11);
    for (std::size_t i = 0; i < large.size(); i += 7)
        large[i] = 'a'; // compressible, so deflate does more than store
    WriteFile(Dir / "src/app/large.bin", large);
    for (const std::string options : {"-0", "-6"}) {
        SCOPED_TRACE(options);
        TMemoryStream stream = Load(Zip(options, "app/large.bin", PayloadPassword));
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        zip.Open(stream);
        auto entry = zip.OpenEntry("app/large.bin");
        ASSERT_TRUE(entry);
        EXPECT_FALSE(zip.OpenEntry("app/absent.bin"));
        ASSERT_EQ(entry->Size(), static_cast<std::int64_t>(large.size()));
        const std::int64_t size = entry->Size();
        // Forward, far back, inside one interval, across intervals, the tail.
        const std::pair<std::int64_t, std::int64_t> ranges[] = {
            {0, 100},      {size - 10, 10},     {5 << 20, 70000},
            {3, 1},        {(4 << 20) - 5, 10}, {(8 << 20) + 1, 1 << 20},
            {size - 1, 5}, {1 << 20, 1}};
        for (const auto& [offset, length] : ranges) {
            std::string got(static_cast<std::size_t>(length), '\0');
            EXPECT_EQ(entry->Seek(offset, TSeekOrigin::soBeginning), offset);
            std::int64_t n = entry->Read(got.data(), length);
            got.resize(static_cast<std::size_t>(n));
            EXPECT_EQ(got, large.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)))
                << "range at " << offset;
        }
        if (options == "-6") {
            EXPECT_GE(entry->CheckpointCount(), 2u);
        }
        EXPECT_EQ(zip.ExtractEntryToString("app/large.bin"), large);
    }
}

TEST_F(ExeZipTest, StreamedEntryWithLyingSizesOrCutDataRaises) {
    std::string bytes = ReadFile(Zip("-9", "app/data.bin", PayloadPassword));
    std::size_t central = bytes.rfind(std::string("PK\x01\x02", 4));
    auto set32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    auto get32 = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        return value;
    };
    const std::uint32_t compressed = get32(central + 20);
    struct TCase {
        const char* What;
        std::size_t At;
        std::uint32_t Value;
    } cases[] = {{"data cut short", central + 20, compressed / 2},
                 {"longer than recorded", central + 24, static_cast<std::uint32_t>(Binary.size() + 1000)},
                 {"beyond the archive", central + 20, compressed + 100000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::string original = bytes;
        set32(c.At, c.Value);
        TMemoryStream stream(Bytes(bytes));
        bytes = original;
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        zip.Open(stream);
        TMemoryStream target;
        EXPECT_THROW(zip.ExtractEntry("app/data.bin", target), EZipError);
        EXPECT_EQ(target.Size(), 0);
    }
}

TEST_F(ExeZipTest, RecordedCrcThatDoesNotMatchRaises) {
    // With a data descriptor the password check uses the time field, so a
    // changed CRC in the directory is only found by checking the data.
    std::string bytes = ReadFile(Zip("-0", "app/index.html", PayloadPassword));
    std::size_t central = bytes.rfind(std::string("PK\x01\x02", 4));
    ASSERT_NE(central, std::string::npos);
    bytes[central + 16] = static_cast<char>(bytes[central + 16] ^ 0x01);
    TMemoryStream stream(Bytes(bytes));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(stream);
    try {
        zip.ExtractEntryToString("app/index.html");
        FAIL() << "a CRC mismatch was accepted";
    } catch (const EZipError& e) {
        EXPECT_NE(std::string(e.what()).find("CRC"), std::string::npos) << e.what();
    }
}

TEST_F(ExeZipTest, ArchiveWithoutEntriesOpensEmpty) {
    // An end-of-central-directory record alone is a complete, empty archive.
    std::string empty("PK\x05\x06", 4);
    empty.append(18, '\0');
    TMemoryStream stream(Bytes(empty));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(stream);
    EXPECT_TRUE(zip.Active());
    EXPECT_EQ(zip.EntryCount(), 0);
    EXPECT_TRUE(zip.Entries().empty());
    EXPECT_EQ(zip.FindEntry("qvx.ini"), -1);
    EXPECT_EQ(zip.ExtractEntryToString("qvx.ini"), "");
}

TEST_F(ExeZipTest, DataThatIsNotAnArchiveRaises) {
    std::string good = ReadFile(Zip("-0 -r", "app", PayloadPassword));
    std::vector<std::string> bad = {
        "",
        "plain text, not an archive at all",
        RandomBytes(5000, 3),
        good.substr(0, good.size() - 10), // end record cut short
        good.substr(0, good.size() / 2),  // central directory gone
        std::string(good.size(), '\0'),
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        TMemoryStream stream(Bytes(bad[i]));
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        EXPECT_THROW(zip.Open(stream), EZipError) << "case " << i;
        EXPECT_FALSE(zip.Active());
        EXPECT_EQ(zip.FindEntry("app/index.html"), -1);
    }
}

// Small encrypted entries are decrypted once and kept, their folder's other
// entries ahead of being asked for: what is kept must read as the entry
// itself, stay bounded, and never serve another archive or password.
TEST_F(ExeZipTest, DecryptedEntriesReadTheSameStayBoundedAndDieWithTheirArchive) {
    std::filesystem::create_directories(Dir.Path() / "src/many");
    std::vector<std::string> contents;
    for (unsigned i = 0; i < 30; ++i) {
        // More than is kept together; the last two past the size kept.
        contents.push_back(RandomBytes(i < 28 ? 700000 + i : 1500000, i));
        WriteFile(Dir / ("src/many/f" + std::to_string(i)), contents.back());
    }
    for (const std::string options : {"-0 -r", "-9 -r"}) {
        SCOPED_TRACE(options);
        TMemoryStream stream = Load(Zip(options, "many app", PayloadPassword));
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        zip.Open(stream);
        for (int pass = 0; pass < 2; ++pass)
            for (unsigned i = 0; i < contents.size(); i += 1 + pass)
                ASSERT_EQ(zip.ExtractEntryToString("many/f" + std::to_string(i)), contents[i]) << i;
        EXPECT_LE(zip.DecryptedBytesKept(), 16u * 1024 * 1024);
        EXPECT_GT(zip.DecryptedBytesKept(), 0u);

        // A stream keeps its entry while the reader goes on and drops it.
        auto open = zip.OpenEntry("many/f3");
        ASSERT_TRUE(open);
        zip.SetPassword("not the password");
        EXPECT_EQ(zip.DecryptedBytesKept(), 0u);
        EXPECT_THROW(zip.ExtractEntryToString("many/f3"), EZipError);
        std::string read(contents[3].size(), '\0');
        EXPECT_EQ(open->Read(read.data(), static_cast<std::int64_t>(read.size())),
                  static_cast<std::int64_t>(read.size()));
        EXPECT_EQ(read, contents[3]);

        // Another archive at the same places: nothing of the first is served.
        zip.SetPassword(PayloadPassword);
        EXPECT_EQ(zip.ExtractEntryToString("many/f1"), contents[1]); // the worker starts
        TMemoryStream other = Load(Zip(options, "app many/f2 many/f1", PayloadPassword));
        zip.Open(other);
        EXPECT_EQ(zip.ExtractEntryToString("many/f1"), contents[1]);
        EXPECT_EQ(zip.ExtractEntryToString("app/index.html"), Text);
        EXPECT_EQ(zip.ExtractEntryToString("app/css/site.css"), "body { color: red; }\n");
    }
}

TEST_F(ExeZipTest, EntriesDecryptedTogetherAheadReadTheSame) {
    // Entries of many lengths (none, shorter and longer than their
    // neighbours), decrypted side by side by the read-ahead of the first;
    // one of them damaged, which is not kept and still raises when read.
    std::filesystem::create_directories(Dir.Path() / "src/lanes");
    std::vector<std::string> contents;
    std::uint64_t total = 0;
    for (unsigned i = 0; i < 23; ++i) {
        contents.push_back(RandomBytes(i == 5 ? 0 : (i * 7919u) % 20000u + i % 3, 100 + i));
        total += i == 7 ? 0 : contents.back().size();
        WriteFile(Dir / ("src/lanes/f" + std::to_string(i)), contents.back());
    }
    // One neighbour too long to be read ahead, read directly.
    const std::string big = RandomBytes(1024 * 1024 + 1, 99); // over the 1 MiB read ahead
    WriteFile(Dir / "src/lanes/f1big", big);
    std::string bytes = ReadFile(Zip("-0 -r", "lanes", PayloadPassword));
    const std::size_t damaged = bytes.find("lanes/f7") + 8 + 12 + 100; // the first name is the local header's
    ASSERT_LT(damaged, bytes.size());
    bytes[damaged] = static_cast<char>(bytes[damaged] ^ 0x20);
    TMemoryStream stream(Bytes(bytes));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(stream);
    ASSERT_EQ(zip.ExtractEntryToString("lanes/f0"), contents[0]);
    for (int wait = 0; wait < 1000 && zip.DecryptedBytesKept() < total; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(zip.DecryptedBytesKept(), total)
        << "the neighbours were not all read ahead, or the damaged one was";
    // The worker that read them runs in the background: nice 15, unlike the
    // test's own thread.
    auto niceOf = [](const std::filesystem::path& task) {
        const std::string stat = ReadFile((task / "stat").string());
        std::istringstream fields(stat.substr(stat.rfind(')') + 2)); // from field 3, the state
        std::string field;
        for (int i = 3; i <= 19 && fields >> field; ++i) {
        }
        return field; // field 19
    };
    const std::string own = niceOf("/proc/thread-self");
    bool background = false;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        background = background || (niceOf(task.path()) == "15" && own != "15");
    EXPECT_TRUE(background) << "no thread of the reader runs in the background";
    for (unsigned i = 0; i < contents.size(); ++i) {
        if (i != 7) {
            EXPECT_EQ(zip.ExtractEntryToString("lanes/f" + std::to_string(i)), contents[i]) << i;
        }
    }
    EXPECT_THROW(zip.ExtractEntryToString("lanes/f7"), EZipError);
    EXPECT_EQ(zip.ExtractEntryToString("lanes/f1big"), big);
}

TEST_F(ExeZipTest, ReopeningReplacesTheEarlierArchive) {
    TMemoryStream first = Load(Zip("-0", "qvx.ini", PayloadPassword));
    TMemoryStream second = Load(Zip("-0", "app/index.html", PayloadPassword));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(first);
    EXPECT_EQ(zip.FindEntry("qvx.ini"), 0);
    zip.Open(second);
    EXPECT_EQ(zip.FindEntry("qvx.ini"), -1);
    EXPECT_EQ(zip.ExtractEntryToString("app/index.html"), Text);
    zip.Close();
    EXPECT_FALSE(zip.Active());
    EXPECT_EQ(zip.EntryCount(), 0);
}

} // namespace
