// Deleting and copying through the shell's file operation (SHFileOperationW),
// run under wine: what the user's files look like afterwards.
#include "platform/FileOperations.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace Norvane::Platform;
using Norvane::Testing::ReadFile;
using Norvane::Testing::TempDir;
using Norvane::Testing::WriteFile;
namespace fs = std::filesystem;

TEST(Win32FileOperations, RemoveTakesTheWholeTreeAndNothingBeside) {
    TempDir dir;
    fs::create_directories(dir.Path() / "tree" / "deep" / "deeper");
    WriteFile(dir / "tree/deep/deeper/a.txt", "a");
    WriteFile(dir / "tree/locked.txt", "b");
    fs::permissions(dir.Path() / "tree" / "locked.txt", fs::perms::owner_write, fs::perm_options::remove);
    WriteFile(dir / "tree-beside.txt", "c");

    // Forward slashes and a trailing separator name the same folder.
    EXPECT_TRUE(RemoveItem((dir.Path() / "tree").generic_string() + "/"));
    EXPECT_FALSE(fs::exists(dir.Path() / "tree"));
    EXPECT_EQ(ReadFile(dir / "tree-beside.txt"), "c");
    EXPECT_FALSE(RemoveItem(dir / "tree"));

    // Wildcards would let the shell delete every match: refused, nothing gone.
    EXPECT_FALSE(RemoveItem(dir / "tree*"));
    EXPECT_FALSE(RemoveItem(dir / "*"));
    EXPECT_TRUE(fs::exists(dir.Path() / "tree-beside.txt"));

    EXPECT_TRUE(RemoveItem(dir / "tree-beside.txt"));
    EXPECT_TRUE(fs::is_empty(dir.Path()));

    // Paths are UTF-8, whatever the ANSI code page.
    const std::string name = "Gr\xC3\xB6\xC3\x9F"
                             "e \xE2\x9C\x93";
    const fs::path wide = dir.Path() / fs::path(std::u8string(name.begin(), name.end()));
    fs::create_directories(wide / "inner");
    const std::u8string utf8 = wide.u8string();
    EXPECT_TRUE(CopyItem(std::string(utf8.begin(), utf8.end()), dir / "copy"));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "copy" / "inner"));
    EXPECT_TRUE(RemoveItem(std::string(utf8.begin(), utf8.end())));
    EXPECT_FALSE(fs::exists(wide));
}

TEST(Win32FileOperations, CopyGoesIntoFoldersOrToTheNewName) {
    TempDir dir;
    fs::create_directories(dir.Path() / "src" / "sub");
    WriteFile(dir / "src/sub/a.txt", "new a");
    WriteFile(dir / "src/b.txt", "new b");
    fs::create_directories(dir.Path() / "dest" / "src" / "sub");
    WriteFile(dir / "dest/src/sub/a.txt", "old a");
    WriteFile(dir / "dest/src/kept.txt", "kept");

    // Into an existing folder: merged, files replaced without asking.
    EXPECT_TRUE(CopyItem(dir / "src", dir / "dest"));
    EXPECT_EQ(ReadFile(dir / "dest/src/sub/a.txt"), "new a");
    EXPECT_EQ(ReadFile(dir / "dest/src/b.txt"), "new b");
    EXPECT_EQ(ReadFile(dir / "dest/src/kept.txt"), "kept");

    // To a new name, with the folders on the way created.
    EXPECT_TRUE(CopyItem(dir / "src", dir / "made/on/the/way"));
    EXPECT_EQ(ReadFile(dir / "made/on/the/way/sub/a.txt"), "new a");
    EXPECT_TRUE(CopyItem(dir / "src/b.txt", dir / "files/renamed.txt"));
    EXPECT_EQ(ReadFile(dir / "files/renamed.txt"), "new b");
    EXPECT_TRUE(CopyItem(dir / "src/sub/a.txt", dir / "files"));
    EXPECT_EQ(ReadFile(dir / "files/a.txt"), "new a");
    EXPECT_TRUE(CopyItem(dir / "files/a.txt", dir / "files/renamed.txt"));
    EXPECT_EQ(ReadFile(dir / "files/renamed.txt"), "new a");
}

TEST(Win32FileOperations, CopyRefusesLoopsMissingSourcesAndWildcards) {
    TempDir dir;
    fs::create_directories(dir.Path() / "src" / "sub");
    WriteFile(dir / "src/a.txt", "a");

    // A folder into itself or its subtree (names compare without case).
    EXPECT_FALSE(CopyItem(dir / "src", dir / "src"));
    EXPECT_FALSE(CopyItem(dir / "src", dir / "SRC/sub"));
    EXPECT_FALSE(CopyItem(dir / "src", dir / "src/sub/deeper"));
    EXPECT_FALSE(fs::exists(dir.Path() / "src" / "sub" / "src"));
    EXPECT_FALSE(fs::exists(dir.Path() / "src" / "sub" / "deeper"));
    // A file onto itself keeps its content.
    EXPECT_FALSE(CopyItem(dir / "src/a.txt", dir / "src/A.TXT"));
    EXPECT_EQ(ReadFile(dir / "src/a.txt"), "a");

    EXPECT_FALSE(CopyItem(dir / "missing", dir / "out"));
    EXPECT_FALSE(CopyItem(dir / "src/*.txt", dir / "out"));
    EXPECT_FALSE(CopyItem("", dir / "out"));
    EXPECT_FALSE(fs::exists(dir.Path() / "out"));
}
