#include "platform/FileWatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using Norvane::Platform::CreateFileWatch;
using Norvane::Platform::TFileWatch;
using Norvane::Testing::TempDir;
using Norvane::Testing::WriteFile;

namespace {

// Every path reported until Wanted is among them, or a few seconds have passed.
std::set<std::string> WaitFor(TFileWatch& Watch, const std::string& Wanted) {
    std::set<std::string> seen;
    for (int i = 0; i < 50 && !seen.count(Wanted); ++i)
        for (const std::string& path : Watch.Wait(100))
            seen.insert(path);
    return seen;
}

} // namespace

TEST(FileWatch, ATreeReportsChangesInItsFoldersAlsoInThoseMadeLater) {
    TempDir dir;
    const std::string root = dir / "app";
    fs::create_directories(root + "/js");
    auto watch = CreateFileWatch();
    ASSERT_TRUE(watch && watch->AddFolder(root));

    WriteFile(root + "/js/a.js", "1");
    EXPECT_TRUE(WaitFor(*watch, root + "/js/a.js").count(root + "/js/a.js"));
    fs::remove(root + "/js/a.js");
    EXPECT_TRUE(WaitFor(*watch, root + "/js/a.js").count(root + "/js/a.js"));

    // A tree made at once: the watch learns of its top and finds the rest.
    fs::create_directories(root + "/late/deeper");
    EXPECT_TRUE(WaitFor(*watch, root + "/late").count(root + "/late"));
    WriteFile(root + "/late/deeper/b.js", "2");
    EXPECT_TRUE(WaitFor(*watch, root + "/late/deeper/b.js").count(root + "/late/deeper/b.js"));
}

TEST(FileWatch, AFileIsSeenEachTimeItIsReplacedAndItsNeighboursAreNot) {
    TempDir dir;
    const std::string ini = dir / "qvx.ini";
    WriteFile(ini, "[App]\n");
    auto watch = CreateFileWatch();
    ASSERT_TRUE(watch && watch->AddFile(ini));

    for (int save = 0; save < 2; ++save) {
        WriteFile(dir / "notes.txt", "unrelated");
        WriteFile(dir / "qvx.ini.part", "[App]\nID=" + std::to_string(save) + "\n");
        fs::rename(dir / "qvx.ini.part", ini);
        EXPECT_EQ(WaitFor(*watch, ini), std::set<std::string>{ini}) << "save " << save;
    }
    WriteFile(ini, "[App]\nID=in place\n");
    EXPECT_EQ(WaitFor(*watch, ini), std::set<std::string>{ini});
}
