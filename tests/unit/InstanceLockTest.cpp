#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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
