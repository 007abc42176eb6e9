#include "CxDebugUtil.h"

#include "TestSupport.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

// Read during this file's dynamic initialisation: the process-wide log must
// already be usable then, whatever order the modules are initialised in.
const std::string g_pathBeforeMain = DebugLog.GetLogPath();

TEST(DebugLogInstance, ExistsBeforeMainWithItsStartState) {
    EXPECT_EQ(g_pathBeforeMain, "./appdebug.log");
    EXPECT_FALSE(DebugLog.IsEnabled());
    EXPECT_EQ(DebugLog.GetLogLevel(), LOG_CRITICAL);
}

std::vector<std::string> SplitCrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "text after the last CR LF";
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break: " << line;
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

std::string MessageOf(const std::string& line) {
    size_t at = line.find("] - ");
    return at == std::string::npos ? std::string() : line.substr(at + 4);
}

TEST(DebugLogFormat, LineFieldsForAFixedTimeAndThread) {
    struct tm when {};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 7;
    when.tm_min = 8;
    when.tm_sec = 9;
    const struct {
        int level;
        const char* file;
        int line;
        unsigned long thread;
        const char* message;
        const char* expected;
    } cases[] = {
        {2, "/home/dev/src/CxSFAddr.cpp", 42, 0x1a2b, "hello",
         "[2024/03/05 07:08:09][CxSFAddr.cpp        (42  )][01a2b][   ] - hello"},
        {0, "C:\\src\\common\\Main.cpp", 7, 0xabc, "boom",
         "[2024/03/05 07:08:09][Main.cpp            (7   )][00abc][!!!] - boom"},
        {1, "mixed/dir\\sub/file.c", -1, 0x12345678, "",
         "[2024/03/05 07:08:09][file.c              (-1  )][12345678][   ] - "},
        {3, "plain.cpp", 1234, 0, "  kept as is %d  ",
         "[2024/03/05 07:08:09][plain.cpp           (1234)][00000][   ] -   kept as is %d  "},
        {2, nullptr, 12345, 0xfffff, "x",
         "[2024/03/05 07:08:09][<null>              (12345)][fffff][   ] - x"},
        {2, "src/abcdefghijklmnopqrstu.cpp", 1, 1, "wide",
         "[2024/03/05 07:08:09][abcdefghijklmnopqrstu.cpp(1   )][00001][   ] - wide"},
        {0, "folder/", 5, 0x10, nullptr,
         "[2024/03/05 07:08:09][                    (5   )][00010][!!!] - "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CxDebugUtil::FormatLine(c.level, c.file, c.line, when, c.thread, c.message),
                  c.expected);
}

TEST(DebugLogFormat, SourceNameIsCutTo255Characters) {
    struct tm when {};
    const std::string file = "dir/" + std::string(300, 'n');
    const std::string line = CxDebugUtil::FormatLine(0, file.c_str(), 1, when, 1, "m");
    EXPECT_NE(line.find("][" + std::string(255, 'n') + "(1   )]"), std::string::npos) << line;
}

class DebugLogFile : public ::testing::Test {
protected:
    DebugLogFile() { log.SetLogFolder(dir.Folder().c_str()); }
    std::string Path() const { return dir.Path("appdebug.log"); }
    std::string OldPath() const { return dir.Path("appdebug.log.old.log"); }
    std::vector<std::string> Lines() const { return SplitCrLfLines(ReadFileBytes(Path())); }

    TempDir dir;
    CxDebugUtil log;
};

TEST_F(DebugLogFile, LevelFilter) {
    const struct {
        bool enabled;
        int configured;
        int level;
        bool written;
    } cases[] = {
        {false, 3, LOG_CRITICAL, true}, {false, 3, LOG_HIGH, false},
        {false, 3, LOG_NORMAL, false},  {false, 3, LOG_LOW, false},
        {true, 2, LOG_CRITICAL, true},  {true, 2, LOG_HIGH, true},
        {true, 2, LOG_NORMAL, true},    {true, 2, LOG_LOW, false},
        {true, 0, LOG_HIGH, false},     {true, 3, LOG_LOW, true},
    };
    for (const auto& c : cases) {
        std::remove(Path().c_str());
        log.EnableLog(c.enabled);
        log.SetLogLevel(c.configured);
        log.Log(c.level, __FILE__, __LINE__, "level %d", c.level);
        EXPECT_EQ(FileExists(Path()), c.written)
            << "enabled " << c.enabled << " configured " << c.configured << " level " << c.level;
        if (c.written && FileExists(Path())) {
            ASSERT_EQ(Lines().size(), 1u);
            EXPECT_EQ(MessageOf(Lines()[0]), "level " + std::to_string(c.level));
        }
    }
}

TEST_F(DebugLogFile, SetLogLevelClampsToTheKnownLevels) {
    const int cases[][2] = {{7, 3}, {-2, 0}, {INT32_MIN, 0}, {INT32_MAX, 3}, {2, 2}, {0, 0}};
    for (const auto& c : cases) {
        log.SetLogLevel(c[0]);
        EXPECT_EQ(log.GetLogLevel(), c[1]) << c[0];
    }
}

// A folder that does not fit is refused, never cut to another folder.
TEST_F(DebugLogFile, SetLogFolderKeepsItsFolderForNullOrOneThatDoesNotFit) {
    EXPECT_FALSE(log.SetLogFolder(nullptr));
    EXPECT_EQ(log.GetLogPath(), Path());
    EXPECT_FALSE(log.SetLogFolder(std::string(260, 'f').c_str()));
    EXPECT_EQ(log.GetLogPath(), Path());
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "\xc3\xa9";
    EXPECT_FALSE(log.SetLogFolder(wide.c_str()));
    EXPECT_EQ(log.GetLogPath(), Path());
    EXPECT_TRUE(log.SetLogFolder(std::string(259, 'f').c_str()));
    EXPECT_EQ(log.GetLogPath(), std::string(259, 'f') + "appdebug.log");
}

TEST_F(DebugLogFile, EntriesAreAppendedAsCrLfLinesInLocalTime) {
    std::string localStamps[3];
    {
        // A zone far from UTC, so that a UTC time stamp would show.
        ScopedEnv tz("TZ", "XYZ-14");
        tzset();
        time_t before = std::time(nullptr);
        log.Log(LOG_CRITICAL, "a/first.cpp", 10, "one %s %d", "two", 3);
        log.Log(LOG_CRITICAL, "second.cpp", 20, "%s", "");
        time_t after = std::time(nullptr);
        for (time_t t = before; t <= after && t - before < 3; ++t) {
            struct tm local {};
            localtime_r(&t, &local);
            char stamp[32];
            std::strftime(stamp, sizeof(stamp), "[%Y/%m/%d %H:%M:%S]", &local);
            localStamps[t - before] = stamp;
        }
    }
    tzset();
    const std::string bytes = ReadFileBytes(Path());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    const std::vector<std::string> lines = SplitCrLfLines(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(MessageOf(lines[0]), "one two 3");
    EXPECT_EQ(MessageOf(lines[1]), "");
    char thread[32];
    std::snprintf(thread, sizeof(thread), "][%05lx][!!!]", static_cast<unsigned long>(gettid()));
    for (const std::string& line : lines) {
        const std::string stamp = line.substr(0, 21);
        EXPECT_TRUE(stamp == localStamps[0] || stamp == localStamps[1] || stamp == localStamps[2])
            << stamp << " vs " << localStamps[0];
        EXPECT_NE(line.find(thread), std::string::npos) << line;
    }
    EXPECT_NE(lines[0].find("[first.cpp           (10  )]"), std::string::npos) << lines[0];
}

TEST_F(DebugLogFile, OverlongMessageIsCutAtACharacterBoundary) {
    std::string wide;
    for (int i = 0; i < 25000; ++i)
        wide += "\xc3\xa9";
    log.Log(LOG_CRITICAL, "f.cpp", 1, "%s", wide.c_str());
    log.Log(LOG_CRITICAL, "f.cpp", 2, "%s", std::string(50000, 'a').c_str());
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(MessageOf(lines[0]), wide.substr(0, 40958));
    EXPECT_EQ(MessageOf(lines[1]), std::string(40959, 'a'));
}

TEST_F(DebugLogFile, MissingFolderDropsTheLineAndIsNotCreated) {
    log.SetLogFolder(dir.Path("missing/").c_str());
    log.Log(LOG_CRITICAL, "f.cpp", 1, "lost");
    EXPECT_FALSE(FileExists(dir.Path("missing")));
}

// Makes a file of the given size quickly (sparse).
void MakeFileOfSize(const std::string& path, long long size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
}

TEST_F(DebugLogFile, FileAtTheLimitIsAppendedTo) {
    MakeFileOfSize(Path(), CxDebugUtil::kRotateSize);
    log.Log(LOG_CRITICAL, "f.cpp", 1, "appended");
    EXPECT_FALSE(FileExists(OldPath()));
    const std::string bytes = ReadFileBytes(Path());
    const std::string tail = bytes.substr(static_cast<size_t>(CxDebugUtil::kRotateSize));
    ASSERT_EQ(SplitCrLfLines(tail).size(), 1u);
    EXPECT_EQ(MessageOf(SplitCrLfLines(tail)[0]), "appended");
}

TEST_F(DebugLogFile, FileAboveTheLimitIsCopiedAsideAndStartedAfresh) {
    MakeFileOfSize(Path(), CxDebugUtil::kRotateSize + 1);
    WriteFileBytes(OldPath(), "an older copy");
    log.Log(LOG_CRITICAL, "f.cpp", 1, "fresh");
    const std::string old = ReadFileBytes(OldPath());
    EXPECT_EQ(static_cast<long long>(old.size()), CxDebugUtil::kRotateSize + 1);
    EXPECT_EQ(old.find_first_not_of('\0'), std::string::npos) << "older copy not replaced";
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(MessageOf(lines[0]), "fresh");
    log.Log(LOG_CRITICAL, "f.cpp", 2, "next");
    EXPECT_EQ(Lines().size(), 2u);
}

TEST_F(DebugLogFile, ConcurrentEntriesAreWrittenAsWholeLines) {
    constexpr int kThreads = 4;
    constexpr int kEntries = 50;
    const std::string payload(20000, 'p');
    std::vector<unsigned long> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            ids[t] = static_cast<unsigned long>(gettid());
            for (int i = 0; i < kEntries; ++i)
                log.Log(LOG_CRITICAL, __FILE__, __LINE__, "T%d-%d-%s", t, i, payload.c_str());
        });
    for (auto& th : threads)
        th.join();

    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kEntries));
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        int t = -1, i = -1;
        const std::string message = MessageOf(line);
        ASSERT_EQ(std::sscanf(message.c_str(), "T%d-%d-", &t, &i), 2) << line.substr(0, 80);
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(i, next[t]++) << "entries of one thread keep their order";
        const std::string prefix = "T" + std::to_string(t) + "-" + std::to_string(i) + "-";
        EXPECT_EQ(message, prefix + payload);
        char thread[32];
        std::snprintf(thread, sizeof(thread), "][%05lx][!!!]", ids[t]);
        EXPECT_NE(line.find(thread), std::string::npos) << line.substr(0, 80);
    }
}

TEST(DebugLogInstance, MacroPassesTheCallersFileAndLine) {
    TempDir dir;
    DebugLog.SetLogFolder(dir.Folder().c_str());
    const int line = __LINE__ + 1;
    DEBUG_LOG(LOG_CRITICAL, "value %d", 5);
    DEBUG_LOG(LOG_NORMAL, "filtered");
    DebugLog.SetLogFolder("./");
    const std::vector<std::string> lines = SplitCrLfLines(ReadFileBytes(dir.Path("appdebug.log")));
    ASSERT_EQ(lines.size(), 1u);
    char where[64];
    std::snprintf(where, sizeof(where), "][test_CxDebugUtil.cpp(%-4d)]", line);
    EXPECT_NE(lines[0].find(where), std::string::npos) << lines[0];
    EXPECT_EQ(MessageOf(lines[0]), "value 5");
}

} // namespace
