// What the program does before its window opens: one instance per data
// folder, a private data folder, no leftovers of a crashed run.
#include "StartupGuard.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;

TEST(InstanceLock, ASecondInstanceIsRefusedUntilTheFirstEnds) {
    TempDir dir;
    auto first = std::make_unique<CxInstanceLock>();
    ASSERT_TRUE(first->Acquire(dir.Folder()));
    {
        CxInstanceLock second;
        EXPECT_FALSE(second.Acquire(dir.Folder()));
    }
    // Another process is refused as well; the lock goes with its holder.
    pid_t child = fork();
    if (child == 0) {
        CxInstanceLock other;
        _exit(other.Acquire(dir.Folder()) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 3);
    first.reset();
    CxInstanceLock later;
    EXPECT_TRUE(later.Acquire(dir.Folder()));
}

TEST(StartupGuard, ALooseDataFolderIsMadePrivate) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Folder().c_str(), 0755), 0);
    EXPECT_TRUE(TightenDataFolder(dir.Folder()));
    struct stat st {};
    ASSERT_EQ(stat(dir.Folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(StartupGuard, OnlyLeftoversOfOurOwnNamingAreRemoved) {
    const struct {
        const char* name;
        bool stale;
    } cases[] = {
        {"SFAddrParam.dat", true},
        {"SFNoteParam.dat", true},
        {"SFAddr.dat.a1B2c3", true},
        {"SFTaskStatus.dat.Zz9x8Y", true},
        {"SFNoteIds.txt.q1w2e3", true},
        {"SFTokens.ini.q1w2e3", true},
        {"SFAddr.dat", false},
        {"SFAddrErr.dat", false},
        {"velmora.ini", false},
        {"SFAddr.dat.tooLong7", false},
        {"SFAddr.dat.ab-cd1", false},
        {"SFOther.dat.a1B2c3", false},
        {"SFAddrResults-20261211-101010.csv", false},
    };
    TempDir dir;
    int stale = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(IsStaleExchangeFile(c.name), c.stale) << c.name;
        WriteFileBytes(dir.Path(c.name), "x");
        stale += c.stale ? 1 : 0;
    }
    EXPECT_EQ(RemoveStaleExchangeFiles(dir.Folder()), stale);
    for (const auto& c : cases)
        EXPECT_EQ(FileExists(dir.Path(c.name)), !c.stale) << c.name;
}
