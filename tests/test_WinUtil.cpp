#include "WinUtil.h"

#include "TestSupport.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

TEST(GetModuleFolder, IsTheFolderOfTheRunningProgram) {
    char folder[260];
    ASSERT_TRUE(GetModuleFolder(nullptr, folder, sizeof(folder)));
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(std::string(folder), exe.parent_path().string() + "/");
    EXPECT_TRUE(testsupport::FileExists(std::string(folder) + exe.filename().string()));
}

TEST(GetModuleFolder, RefusesMissingOrTooSmallBuffer) {
    EXPECT_FALSE(GetModuleFolder(nullptr, nullptr, 260));
    char small[4] = "old";
    EXPECT_FALSE(GetModuleFolder(nullptr, small, sizeof(small)));
    EXPECT_STREQ(small, "");
    EXPECT_FALSE(GetModuleFolder(nullptr, small, 0));
}

class ShellOpenHook : public ::testing::Test {
protected:
    ShellOpenHook() {
        SetShellOpenHook([this](const std::string& target) { opened.push_back(target); });
    }
    ~ShellOpenHook() override { SetShellOpenHook(nullptr); }
    std::vector<std::string> opened;
};

TEST_F(ShellOpenHook, HookReceivesEveryTargetAndEmptyTargetsAreRefused) {
    EXPECT_TRUE(ShellOpen("https://example.invalid/help"));
    EXPECT_TRUE(ShellOpen("mailto:support@example.invalid"));
    EXPECT_TRUE(ShellOpen("/tmp/some folder/"));
    EXPECT_FALSE(ShellOpen(nullptr));
    EXPECT_FALSE(ShellOpen(""));
    EXPECT_EQ(opened,
              (std::vector<std::string>{"https://example.invalid/help",
                                        "mailto:support@example.invalid", "/tmp/some folder/"}));
}

bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 200; ++i) { // generous: up to 20 s on a loaded machine
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// A stand-in xdg-open on PATH records its arguments, its process and session
// ids; the real desktop is never asked to open anything.
TEST(ShellOpenLaunch, StartsXdgOpenDetachedWithTheTargetAsOneArgument) {
    TempDir dir;
    const std::string record = dir.Path("record.txt");
    const std::string script = dir.Path("xdg-open");
    {
        std::ofstream out(script);
        out << "#!/bin/sh\n"
            << "sid=$(cut -d' ' -f6 /proc/$$/stat)\n"
            << "printf '%s\\n%s\\n%s\\n%s\\n' \"$#\" \"$1\" \"$$\" \"$sid\" > '" << record
            << ".part'\n"
            << "mv '" << record << ".part' '" << record << "'\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    ScopedEnv path("PATH", (dir.Folder() + ":/usr/bin:/bin").c_str());

    const char target[] = "/tmp/a b; touch $(echo pwned) 'q'";
    EXPECT_TRUE(ShellOpen(target));
    ASSERT_TRUE(WaitFor([&] { return testsupport::FileExists(record); }));

    std::istringstream lines(ReadFileBytes(record));
    std::string argc, arg, pid, sid;
    std::getline(lines, argc);
    std::getline(lines, arg);
    std::getline(lines, pid);
    std::getline(lines, sid);
    EXPECT_EQ(argc, "1");
    EXPECT_EQ(arg, target);
    EXPECT_EQ(pid, sid) << "xdg-open leads a session of its own";
    EXPECT_NE(std::to_string(getsid(0)), sid);
    EXPECT_FALSE(testsupport::FileExists("pwned"));

    // The child is reaped: it leaves no zombie behind.
    const std::string proc = "/proc/" + pid + "/stat";
    EXPECT_TRUE(WaitFor([&] { return !testsupport::FileExists(proc); }))
        << "still present: " << ReadFileBytes(proc);
}

TEST(ShellOpenLaunch, MissingXdgOpenStillReportsTrueAndTellsTheFailureAtOnce) {
    TempDir dir;
    ScopedEnv path("PATH", dir.Folder().c_str());
    EXPECT_TRUE(ShellOpen("https://example.invalid/"));
    int failures = 0;
    EXPECT_TRUE(ShellOpen("https://example.invalid/", [&failures] { ++failures; }));
    EXPECT_EQ(failures, 1);
}

// A stand-in xdg-open ends with the status of the case; only a non-zero one
// is told, once, after xdg-open ended.
TEST(ShellOpenLaunch, TellsWhenXdgOpenEndsWithAnError) {
    const struct {
        const char* name;
        int status;
        int failures;
    } kCases[] = {{"opened", 0, 0}, {"no handler", 3, 1}, {"action failed", 4, 1}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string ended = dir.Path("ended");
        const std::string script = dir.Path("xdg-open");
        {
            std::ofstream out(script);
            out << "#!/bin/sh\ntouch '" << ended << "'\nexit " << c.status << "\n";
        }
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        ScopedEnv path("PATH", (dir.Folder() + ":/usr/bin:/bin").c_str());

        auto failures = std::make_shared<std::atomic<int>>(0);
        EXPECT_TRUE(ShellOpen("/tmp/some file", [failures] { ++*failures; }));
        ASSERT_TRUE(WaitFor([&] { return testsupport::FileExists(ended); }));
        if (c.failures > 0)
            EXPECT_TRUE(WaitFor([&] { return failures->load() > 0; }));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(failures->load(), c.failures);
    }
}

} // namespace
