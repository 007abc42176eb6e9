// The helper runner against a stand-in helper (tessmark_test_helper): how the
// child is started, how each way of ending is reported, and that a helper that
// outlives its time-out is reaped later instead of staying behind as a zombie.
#include "CxSFCommon.h"
#include "RecordBytes.h"
#include "TestSupport.h"
#include "WinUtil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using testsupport::FileExists;
using testsupport::LogCapture;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

const char kTool[] = "tessmark_test_helper";

std::string ProgramFolder() {
    char folder[4096] = {};
    GetModuleFolder(nullptr, folder, sizeof(folder));
    return folder;
}

std::string CurrentDirectory() {
    char cwd[4096] = {};
    return getcwd(cwd, sizeof(cwd)) ? std::string(cwd) : std::string();
}

// The state letter of a process in /proc ('Z' for a zombie), 0 when it is gone.
char ProcessState(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return 0;
    return stat[close + 2];
}

// Polls until done() holds, at most 30 s (the machine may be busy).
bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Makes a folder the current directory for the length of a test.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::string& folder) : m_old(CurrentDirectory()) {
        EXPECT_EQ(chdir(folder.c_str()), 0);
    }
    ~ScopedCurrentDirectory() { EXPECT_EQ(chdir(m_old.c_str()), 0); }

private:
    std::string m_old;
};

// Reaped: gone from /proc and no child of ours any more.
bool Reaped(pid_t pid) {
    errno = 0;
    return ProcessState(pid) == 0 && waitpid(pid, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        runner.reset(new CxSFDataReader);
        runner->SetProgramName(kTool);
        runner->SetFolder(dir.Folder().c_str());
        runner->SetParamFileName("P.dat");
        runner->SetDataFileName("D.dat");
        WriteFileBytes(dir.Path("P.dat"), std::string(4, '\0'));
    }

    void Control(const std::string& lines) {
        WriteFileBytes(dir.Path("tool.ini"), "[Tool]\n" + lines);
    }
    std::string RunRecord() const { return ReadFileBytes(dir.Path("tool-run.txt")); }
    // Whether the log line with this message was written from the runner's module.
    bool LoggedHere(const std::string& message) const {
        return log.Line(message).find("[CxSFCommon.cpp ") != std::string::npos;
    }

    LogCapture log;
    TempDir dir;
    std::unique_ptr<CxSFDataReader> runner;
};

TEST_F(RunnerTest, StartsTheHelperFromTheProgramFolderAndKeepsTheOwnDirectory) {
    TempDir elsewhere;
    ScopedCurrentDirectory cwd(elsewhere.Folder());
    const std::string before = CurrentDirectory();

    EXPECT_EQ(runner->RunHelper(), hrOk);

    const std::string record = RunRecord();
    EXPECT_NE(record.find("argc=2\n"), std::string::npos) << record;
    EXPECT_NE(record.find("argv0=" + std::string(kTool) + "\n"), std::string::npos) << record;
    EXPECT_NE(record.find("argv1=" + dir.Path("P.dat") + "\n"), std::string::npos) << record;
    EXPECT_NE(record.find("cwd=" + ProgramFolder().substr(0, ProgramFolder().size() - 1) + "\n"),
              std::string::npos)
        << record;
    EXPECT_EQ(CurrentDirectory(), before);

    EXPECT_TRUE(LoggedHere("Original current directory: " + before)) << log.Text();
    EXPECT_TRUE(LoggedHere("Set current directory: " + ProgramFolder())) << log.Text();
    EXPECT_TRUE(LoggedHere("Executing command: \"" + std::string(kTool) + "\" \"" +
                           dir.Path("P.dat") + "\""))
        << log.Text();
    EXPECT_TRUE(LoggedHere("Command executed successfully."));
    EXPECT_TRUE(LoggedHere("Helper utility program exited successfully."));
    EXPECT_EQ(runner->GetProcessId(), 0);
}

TEST_F(RunnerTest, AMissingProgramIsAFailedStart) {
    const std::string before = CurrentDirectory();
    runner->SetProgramName("tessmark-no-such-helper");
    EXPECT_EQ(runner->RunHelper(), hrNotStarted);
    EXPECT_EQ(runner->GetErrorNumber(), ENOENT);
    EXPECT_EQ(runner->GetErrorText(), "No such file or directory");
    EXPECT_NE(log.Line("CreateProcess Error: No such file or directory").find("!!!"),
              std::string::npos)
        << log.Text();
    EXPECT_FALSE(log.Has("Command executed successfully."));
    EXPECT_EQ(CurrentDirectory(), before);
}

TEST_F(RunnerTest, EachWayOfEndingIsReported) {
    struct Case {
        const char* control;
        int result;
        int exitStatus;
        int signal;
        const char* line;
    } cases[] = {
        {"", hrOk, 0, 0, "Helper utility program exited successfully."},
        {"ExitStatus=3\n", hrExitStatus, 3, 0, "Helper utility program ended with exit status 3."},
        {"Signal=9\n", hrSignalled, 0, 9, "Helper utility program was ended by signal 9."},
        {"Signal=15\nExitStatus=0\n", hrSignalled, 0, 15,
         "Helper utility program was ended by signal 15."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        log.Reset();
        Control(c.control);
        EXPECT_EQ(runner->RunHelper(), c.result);
        EXPECT_EQ(runner->GetExitStatus(), c.exitStatus);
        EXPECT_EQ(runner->GetSignal(), c.signal);
        EXPECT_TRUE(LoggedHere(c.line)) << log.Text();
        EXPECT_EQ(runner->GetProcessId(), 0);
    }
}

TEST_F(RunnerTest, ATimedOutHelperGoesOnAndIsReapedWithoutBlocking) {
    Control("SleepMs=3000\n");
    runner->SetTimeout(300);
    EXPECT_EQ(runner->RunHelper(), hrTimedOut);
    EXPECT_TRUE(LoggedHere("The helper utility program has no response. Got timeout event."));
    const pid_t pid = runner->GetProcessId();
    ASSERT_GT(pid, 0);
    // Never killed: it is still running.
    const char state = ProcessState(pid);
    EXPECT_TRUE(state != 0 && state != 'Z') << state;

    const auto start = std::chrono::steady_clock::now();
    runner->StopHelper();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(runner->GetProcessId(), 0);
    EXPECT_TRUE(Eventually([&] { return ProcessState(pid) == 0; })) << ProcessState(pid);
    EXPECT_TRUE(Reaped(pid));
}

TEST_F(RunnerTest, TheNextRunReapsAnEarlierHelperThatHasEnded) {
    Control("SleepMs=1000\n");
    runner->SetTimeout(100);
    ASSERT_EQ(runner->RunHelper(), hrTimedOut);
    const pid_t pid = runner->GetProcessId();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(Eventually([&] { return ProcessState(pid) == 'Z'; }));

    Control("");
    runner->SetTimeout(CxSFDataReader::kDefaultTimeoutMs);
    EXPECT_EQ(runner->RunHelper(), hrOk);
    EXPECT_TRUE(Reaped(pid));
    EXPECT_EQ(ReadFileBytes(dir.Path("tool-count.txt")), "run\nrun\n");
}

TEST_F(RunnerTest, EndOfLifeDeletesTheExchangeFilesAndLeavesNoZombie) {
    WriteFileBytes(dir.Path("D.dat"), "records");
    Control("SleepMs=1000\n");
    runner->SetTimeout(100);
    ASSERT_EQ(runner->RunHelper(), hrTimedOut);
    const pid_t pid = runner->GetProcessId();

    runner.reset();
    EXPECT_FALSE(FileExists(dir.Path("P.dat")));
    EXPECT_FALSE(FileExists(dir.Path("D.dat")));
    EXPECT_TRUE(Eventually([&] { return ProcessState(pid) == 0; })) << ProcessState(pid);
    EXPECT_TRUE(Reaped(pid));
}

TEST_F(RunnerTest, DeleteExchangeFilesTakesOnlyItsTwoFiles) {
    WriteFileBytes(dir.Path("D.dat"), "records");
    WriteFileBytes(dir.Path("other.dat"), "kept");
    runner->DeleteExchangeFiles();
    EXPECT_FALSE(FileExists(dir.Path("P.dat")));
    EXPECT_FALSE(FileExists(dir.Path("D.dat")));
    EXPECT_TRUE(FileExists(dir.Path("other.dat")));
    runner->DeleteExchangeFiles(); // nothing left to delete: no harm
}

// A text that does not fit is refused, never cut to another name; a run is
// then refused too, until the member is set again.
TEST(RunnerSetters, RefuseWhatDoesNotFitAndIgnoreAMissingText) {
    using Setter = bool (CxSFDataReader::*)(const char*);
    using Getter = const char* (CxSFDataReader::*)() const;
    const std::pair<Setter, Getter> members[] = {
        {&CxSFDataReader::SetProgramName, &CxSFDataReader::GetProgramName},
        {&CxSFDataReader::SetFolder, &CxSFDataReader::GetFolder},
        {&CxSFDataReader::SetParamFileName, &CxSFDataReader::GetParamFileName},
        {&CxSFDataReader::SetDataFileName, &CxSFDataReader::GetDataFileName},
    };
    CxSFDataReader runner;
    EXPECT_EQ(runner.GetTimeout(), 1800000u);
    for (const auto& [set, get] : members) {
        EXPECT_TRUE((runner.*set)(std::string(259, 'x').c_str()));
        EXPECT_EQ(std::string((runner.*get)()), std::string(259, 'x'));
        EXPECT_TRUE((runner.*set)(nullptr));
        EXPECT_EQ(std::string((runner.*get)()), std::string(259, 'x'));
        EXPECT_FALSE((runner.*set)(std::string(260, 'x').c_str()));
        EXPECT_STREQ((runner.*get)(), "");
        EXPECT_EQ(runner.RunHelper(), hrNotStarted);
        EXPECT_EQ(runner.GetErrorNumber(), ENAMETOOLONG);
        EXPECT_TRUE((runner.*set)("SFAddr.dat"));
        EXPECT_STREQ((runner.*get)(), "SFAddr.dat");
    }
    runner.SetFolder(""); // nothing to delete at its end
}

} // namespace
