#include "platform/InstanceLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/TestSupport.h"

using Norvane::Platform::TInstanceLock;

namespace {

std::string UniqueName(const std::string& base) {
    return base + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(::testing::UnitTest::GetInstance()->random_seed());
}

} // namespace

TEST(InstanceLock, FirstHolderFindsNothingLaterHoldersFindItUntilAllRelease) {
    std::string name = UniqueName("com.example/app one");
    TInstanceLock first, second, third;
    bool existed = true;
    ASSERT_TRUE(first.Acquire(name, existed));
    EXPECT_FALSE(existed);
    ASSERT_TRUE(second.Acquire(name, existed));
    EXPECT_TRUE(existed);
    first.Release();
    // The second holder still holds its share (a relaunched instance keeps it too).
    ASSERT_TRUE(third.Acquire(name, existed));
    EXPECT_TRUE(existed);
    second.Release();
    third.Release();
    ASSERT_TRUE(first.Acquire(name, existed));
    EXPECT_FALSE(existed);
}

TEST(InstanceLock, DifferentNamesDoNotExcludeEachOther) {
    TInstanceLock a, b;
    bool existed = true;
    ASSERT_TRUE(a.Acquire(UniqueName("app-a"), existed));
    EXPECT_FALSE(existed);
    ASSERT_TRUE(b.Acquire(UniqueName("app-b"), existed));
    EXPECT_FALSE(existed);
}

TEST(InstanceLock, EndedProcessReleasesItsShare) {
    std::string name = UniqueName("crash-test");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TInstanceLock lock;
        bool existed = false;
        bool ok = lock.Acquire(name, existed);
        char byte = ok && !existed ? 'y' : 'n';
        (void)!::write(ready[1], &byte, 1);
        ::pause(); // held until killed, as by a crash
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    TInstanceLock mine;
    bool existed = false;
    ASSERT_TRUE(mine.Acquire(name, existed));
    EXPECT_TRUE(existed);
    mine.Release();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(mine.Acquire(name, existed));
    EXPECT_FALSE(existed);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(InstanceLock, NamesAreEncodedIntoOneSafeFileName) {
    EXPECT_EQ(TInstanceLock::EncodeName("My App/1.0"), "My%20App%2F1.0");
    EXPECT_EQ(TInstanceLock::EncodeName("a%b"), "a%25b");
    EXPECT_EQ(TInstanceLock::EncodeName("é"), "%C3%A9");
    // Case is kept: the name is compared exactly.
    EXPECT_NE(TInstanceLock::EncodeName("App"), TInstanceLock::EncodeName("app"));
    std::string longName(300, 'x');
    std::string encoded = TInstanceLock::EncodeName(longName);
    EXPECT_LE(encoded.size(), 200u);
    EXPECT_NE(encoded, TInstanceLock::EncodeName(longName + "y"));
    std::string path = TInstanceLock::LockFilePath("../../etc/passwd");
    EXPECT_EQ(path.find("/../"), std::string::npos);
}

// Where the lock lives: a folder nobody else can put a file into.

namespace {

namespace fs = std::filesystem;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name))
            FOld = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* FName;
    std::optional<std::string> FOld;
};

constexpr uid_t OtherUser = 65534;

// No runtime folder; the temporary and cache folders inside a fresh folder.
class InstanceLockFolder : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(Tmp);
        fs::create_directory(Cache);
    }
    std::string Own() const { return Tmp + "/norvane-" + std::to_string(::geteuid()); }
    std::string CacheFolder() const { return Cache + "/norvane"; }
    // Two holders must still tell first and later starts apart.
    static void ExpectExclusiveThenShared(const std::string& name) {
        TInstanceLock first, second;
        bool existed = true;
        ASSERT_TRUE(first.Acquire(name, existed));
        EXPECT_FALSE(existed);
        ASSERT_TRUE(second.Acquire(name, existed));
        EXPECT_TRUE(existed);
    }
    static void ChangeOwner(const std::string& path) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "making a folder of another user needs root";
        ASSERT_EQ(::lchown(path.c_str(), OtherUser, OtherUser), 0);
    }

    Norvane::Testing::TempDir Root;
    std::string Tmp = Root / "tmp";
    std::string Cache = Root / "cache";
    ScopedEnv NoRuntime{"XDG_RUNTIME_DIR", nullptr};
    ScopedEnv TmpDir{"TMPDIR", Tmp.c_str()};
    ScopedEnv CacheHome{"XDG_CACHE_HOME", Cache.c_str()};
};

} // namespace

TEST_F(InstanceLockFolder, MadePrivateInTheTemporaryFolder) {
    std::string name = UniqueName("private");
    EXPECT_EQ(TInstanceLock::LockFilePath(name),
              Own() + "/norvane-instance-" + TInstanceLock::EncodeName(name) + ".lock");
    struct stat info {};
    ASSERT_EQ(::lstat(Own().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    ExpectExclusiveThenShared(name);
    EXPECT_TRUE(fs::exists(TInstanceLock::LockFilePath(name)));
}

TEST_F(InstanceLockFolder, AnUnfitFolderInTheTemporaryFolderIsPassedOver) {
    std::string name = UniqueName("unfit");
    std::string expected = CacheFolder() + "/norvane-instance-" + TInstanceLock::EncodeName(name) + ".lock";
    std::string target = Root / "target";
    fs::create_directory(target);
    fs::permissions(target, fs::perms::owner_all, fs::perm_options::replace);
    const std::vector<std::pair<std::string, std::function<void()>>> plants = {
        {"open to all",
         [&] {
             ::mkdir(Own().c_str(), 0700);
             ::chmod(Own().c_str(), 0777);
         }},
        {"a symbolic link", [&] { fs::create_directory_symlink(target, Own()); }},
        {"another user's",
         [&] {
             ::mkdir(Own().c_str(), 0700);
             ChangeOwner(Own());
         }},
    };
    for (const auto& [what, plant] : plants) {
        SCOPED_TRACE(what);
        fs::remove_all(Own());
        fs::remove_all(CacheFolder());
        plant();
        if (IsSkipped())
            return;
        EXPECT_EQ(TInstanceLock::LockFilePath(name), expected);
        ExpectExclusiveThenShared(name);
        EXPECT_TRUE(fs::is_empty(target));
        EXPECT_FALSE(fs::exists(Own() + "/norvane-instance-" + TInstanceLock::EncodeName(name) + ".lock"));
    }
    // Nowhere safe: no lock, and the start goes on as if it were free.
    fs::remove_all(CacheFolder());
    ::mkdir(CacheFolder().c_str(), 0777);
    ::chmod(CacheFolder().c_str(), 0777);
    EXPECT_EQ(TInstanceLock::LockFilePath(name), "");
    TInstanceLock lock;
    bool existed = true;
    EXPECT_FALSE(lock.Acquire(name, existed));
    EXPECT_FALSE(existed);
    EXPECT_FALSE(lock.Held());
}

TEST_F(InstanceLockFolder, TheRuntimeFolderOnlyWhenItIsTheUsersAlone) {
    std::string name = UniqueName("runtime");
    std::string file = "/norvane-instance-" + TInstanceLock::EncodeName(name) + ".lock";
    std::string runtime = Root / "run";
    ::mkdir(runtime.c_str(), 0700);
    {
        ScopedEnv set("XDG_RUNTIME_DIR", runtime.c_str());
        EXPECT_EQ(TInstanceLock::LockFilePath(name), runtime + file);
        ExpectExclusiveThenShared(name);
        ::chmod(runtime.c_str(), 0777);
        EXPECT_EQ(TInstanceLock::LockFilePath(name), Own() + file);
        ::chmod(runtime.c_str(), 0700);
    }
    ScopedEnv relative("XDG_RUNTIME_DIR", "run");
    EXPECT_EQ(TInstanceLock::LockFilePath(name), Own() + file);
    ScopedEnv set("XDG_RUNTIME_DIR", runtime.c_str());
    ChangeOwner(runtime);
    if (IsSkipped())
        return;
    EXPECT_EQ(TInstanceLock::LockFilePath(name), Own() + file);
}

TEST_F(InstanceLockFolder, AFileHeldInTheOldSharedPlaceBlocksNothing) {
    std::string name = UniqueName("planted");
    std::string planted = Tmp + "/norvane-instance-" + TInstanceLock::EncodeName(name) + ".lock";
    int fd = ::open(planted.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    struct flock hold {};
    hold.l_type = F_RDLCK; // as a running instance holds it
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &hold), 0);
    TInstanceLock lock;
    bool existed = true;
    ASSERT_TRUE(lock.Acquire(name, existed));
    EXPECT_FALSE(existed);
    ::close(fd);
}

TEST(InstanceLock, ALaterStartHandsItsArgumentsOver) {
    const std::string name = UniqueName("norvane-show-arguments");
    TInstanceLock first;
    bool existed = false;
    ASSERT_TRUE(first.Acquire(name, existed));
    std::mutex lock;
    std::condition_variable heard;
    std::vector<std::vector<std::string>> requests;
    ASSERT_TRUE(first.ListenForShowRequests(name, [&](const std::vector<std::string>& Arguments) {
        std::lock_guard guard(lock);
        requests.push_back(Arguments);
        heard.notify_all();
    }));
    const std::vector<std::string> arguments{"--open", "two words", "", "\xC3\xA9"};
    ASSERT_TRUE(TInstanceLock::AskToShow(name, arguments));
    ASSERT_TRUE(TInstanceLock::AskToShow(name));
    // Too many arguments: the request still shows the window, without them.
    ASSERT_TRUE(
        TInstanceLock::AskToShow(name, std::vector<std::string>(TInstanceLock::MaxShowArguments + 1, "a")));
    std::unique_lock guard(lock);
    ASSERT_TRUE(heard.wait_for(guard, std::chrono::seconds(10), [&] { return requests.size() == 3; }));
    EXPECT_EQ(requests[0], arguments);
    EXPECT_TRUE(requests[1].empty());
    EXPECT_TRUE(requests[2].empty());
}
