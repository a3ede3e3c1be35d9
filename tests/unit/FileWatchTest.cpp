#include "platform/FileWatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/Paths.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using Norvane::Platform::CreateFileWatch;
using Norvane::Platform::PathFromUtf8;
using Norvane::Platform::TFileWatch;
using Norvane::Platform::Utf8FromPath;
using Norvane::Testing::TempDir;
using Norvane::Testing::WriteFile;

namespace {

// A path with the system's separators (the watch reports them so on Windows).
std::string Normal(const std::string& Path) {
    return Utf8FromPath(PathFromUtf8(Path).lexically_normal());
}

// Every path reported until Wanted is among them, or a few seconds have passed.
std::set<std::string> WaitFor(TFileWatch& Watch, const std::string& Wanted) {
    std::set<std::string> seen;
    for (int i = 0; i < 50 && !seen.count(Normal(Wanted)); ++i)
        for (const std::string& path : Watch.Wait(100))
            seen.insert(Normal(path));
    return seen;
}

bool Reported(TFileWatch& Watch, const std::string& Path) {
    return WaitFor(Watch, Path).count(Normal(Path)) == 1;
}

} // namespace

TEST(FileWatch, ATreeReportsChangesInItsFoldersAlsoInThoseMadeLater) {
    TempDir dir;
    const std::string root = Utf8FromPath(dir.Path() / "app");
    fs::create_directories(PathFromUtf8(root + "/js"));
    auto watch = CreateFileWatch();
    ASSERT_TRUE(watch && watch->AddFolder(root));

    WriteFile(root + "/js/a.js", "1");
    EXPECT_TRUE(Reported(*watch, root + "/js/a.js"));
    fs::remove(PathFromUtf8(root + "/js/a.js"));
    EXPECT_TRUE(Reported(*watch, root + "/js/a.js"));

    // A tree made at once: the watch learns of its top and finds the rest.
    fs::create_directories(PathFromUtf8(root + "/late/deeper"));
    EXPECT_TRUE(Reported(*watch, root + "/late"));
    WriteFile(root + "/late/deeper/b.js", "2");
    EXPECT_TRUE(Reported(*watch, root + "/late/deeper/b.js"));
}

TEST(FileWatch, AFileIsSeenEachTimeItIsReplacedAndItsNeighboursAreNot) {
    TempDir dir;
    const std::string folder = Utf8FromPath(dir.Path());
    const std::string ini = folder + "/qvx.ini";
    WriteFile(ini, "[App]\n");
    auto watch = CreateFileWatch();
    ASSERT_TRUE(watch && watch->AddFile(ini));

    const std::set<std::string> onlyIni{Normal(ini)};
    for (const char* text : {"[App]\nID=first\n", "[App]\nID=second\n"}) {
        WriteFile(folder + "/notes.txt", "unrelated");
        WriteFile(folder + "/qvx.ini.part", text);
        fs::rename(PathFromUtf8(folder + "/qvx.ini.part"), PathFromUtf8(ini));
        EXPECT_EQ(WaitFor(*watch, ini), onlyIni) << text;
    }
    WriteFile(ini, "[App]\nID=in place\n");
    EXPECT_EQ(WaitFor(*watch, ini), onlyIni);
}
