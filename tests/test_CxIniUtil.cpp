#include "CxDebugUtil.h"
#include "CxIniUtil.h"
#include "WinUtil.h"

#include "TestSupport.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

const char kSample[] = "; settings\n"
                       "outside=1\n"
                       "[Tessmark]\n"
                       "  UserName =  alice  \n"
                       "Empty=\n"
                       "Number=12abc\n"
                       "Word=abc\n"
                       "Two=2\n"
                       "Zero=0\n"
                       "Spaced=   -42\n"
                       "Max=2147483647\n"
                       "Min=-2147483648\n"
                       "Big=99999999999\n"
                       "Neg=-99999999999\n"
                       "Huge=99999999999999999999999999999999999999\n"
                       "Greeting=Grüße\n"
                       "\n"
                       "[ Other ]\n"
                       "UserName=bob\n";

class IniTest : public ::testing::Test {
protected:
    IniTest() : ini(dir.Folder().c_str(), "test.ini") {}
    std::string Path() const { return dir.Path("test.ini"); }
    void WriteSample() { WriteFileBytes(Path(), kSample); }

    std::string Get(const char* section, const char* key, const char* def, int size = 256) {
        char buf[256];
        std::memset(buf, '#', sizeof(buf));
        int n = ini.GetString(section, key, buf, size, def);
        EXPECT_EQ(n, static_cast<int>(std::strlen(buf)));
        return buf;
    }

    TempDir dir;
    CxIniUtil ini;
};

struct StringCase {
    const char* section;
    const char* key;
    const char* expected;
};

TEST_F(IniTest, GetStringLooksUpSectionAndKeyWithoutCaseAndTrimsBlanks) {
    WriteSample();
    const StringCase cases[] = {
        {"Tessmark", "UserName", "alice"},  {"TESSMARK", "username", "alice"},
        {"other", "USERNAME", "bob"},       // blanks inside the brackets
        {"Tessmark", "Empty", ""},          // present but empty: not the default
        {"Tessmark", "outside", "default"}, // a key before any section belongs to none
        {"Tessmark", "Missing", "default"}, // missing key
        {"Missing", "UserName", "default"}, // missing section
        {"Tessmark", "User", "default"},    // a prefix is not the key
    };
    for (const auto& c : cases)
        EXPECT_EQ(Get(c.section, c.key, "default"), c.expected) << c.section << "/" << c.key;
}

TEST_F(IniTest, MissingFileReadsAsDefaultsAndIsNotCreated) {
    EXPECT_EQ(Get("Tessmark", "UserName", "def"), "def");
    EXPECT_EQ(Get("Tessmark", "UserName", nullptr), "");
    EXPECT_EQ(ini.GetInt("Tessmark", "AppFlag", 5), 5);
    EXPECT_TRUE(ini.GetBool("Tessmark", "SaveUser", true));
    EXPECT_FALSE(testsupport::FileExists(Path()));
}

TEST_F(IniTest, GetStringStoresAtMostSizeMinusOneAtCharacterBoundary) {
    WriteSample();
    EXPECT_EQ(Get("Tessmark", "UserName", "", 4), "ali");
    EXPECT_EQ(Get("Tessmark", "UserName", "", 1), "");
    // "Grüße": G r ü(2) ß(2) e; 4 bytes would end inside "ü".
    EXPECT_EQ(Get("Tessmark", "Greeting", "", 4), "Gr");
    EXPECT_EQ(Get("Tessmark", "Greeting", "", 5), "Grü");
    // The default is cut the same way.
    EXPECT_EQ(Get("Tessmark", "Missing", "abcdef", 3), "ab");
}

TEST_F(IniTest, GetStringRefusesBadArgumentsWithoutTouchingTheBuffer) {
    WriteSample();
    char buf[8] = "keep";
    EXPECT_EQ(ini.GetString("Tessmark", nullptr, buf, sizeof(buf), "d"), 0);
    EXPECT_EQ(ini.GetString("Tessmark", "", buf, sizeof(buf), "d"), 0);
    EXPECT_EQ(ini.GetString("Tessmark", "UserName", buf, 0, "d"), 0);
    EXPECT_EQ(ini.GetString("Tessmark", "UserName", buf, -1, "d"), 0);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(ini.GetString("Tessmark", "UserName", nullptr, 8, "d"), 0);
}

TEST_F(IniTest, GetIntReadsLikeAtolAndClampsToThe32BitRange) {
    WriteSample();
    struct Case {
        const char* key;
        int expected;
    } cases[] = {
        {"Number", 12},   {"Word", 0},      {"Empty", 77},    {"Missing", 77},  {"Spaced", -42},
        {"Max", INT_MAX}, {"Min", INT_MIN}, {"Big", INT_MAX}, {"Neg", INT_MIN}, {"Huge", INT_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.GetInt("Tessmark", c.key, 77), c.expected) << c.key;
}

TEST_F(IniTest, GetBoolIsNonZero) {
    WriteSample();
    EXPECT_TRUE(ini.GetBool("Tessmark", "Two", false));
    EXPECT_FALSE(ini.GetBool("Tessmark", "Zero", true));
    EXPECT_FALSE(ini.GetBool("Tessmark", "Word", true));
    EXPECT_TRUE(ini.GetBool("Tessmark", "Empty", true));
    EXPECT_FALSE(ini.GetBool("Tessmark", "Missing", false));
}

TEST_F(IniTest, FirstWriteCreatesFileSectionAndKeyWithOwnerOnlyMode) {
    EXPECT_EQ(ini.WriteString("Tessmark", "UserName", "alice"), 1);
    EXPECT_EQ(ini.WriteInt("Tessmark", "LogLevel", -3), 1);
    EXPECT_EQ(ini.WriteBool("Tessmark", "SaveUser", true), 1);
    EXPECT_EQ(ini.WriteBool("Tessmark", "SaveToken", false), 1);
    EXPECT_EQ(ini.WriteString("Tessmark", "Token", nullptr), 1);
    EXPECT_EQ(ReadFileBytes(Path()), "[Tessmark]\nUserName=alice\nLogLevel=-3\nSaveUser=1\n"
                                     "SaveToken=0\nToken=\n");
    struct stat st {};
    ASSERT_EQ(stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ini.GetInt("Tessmark", "LogLevel", 0), -3);
}

TEST_F(IniTest, WriteKeepsEveryOtherLineAndReplacesTheKeyInPlace) {
    WriteFileBytes(Path(), "; keep me\n"
                           "[Tessmark]\n"
                           "USERNAME = old\n"
                           "Other=x\n"
                           "\n"
                           "[Next]\n"
                           "UserName=next\n");
    EXPECT_EQ(ini.WriteString("tessmark", "UserName", "new"), 1);
    EXPECT_EQ(ini.WriteString("Tessmark", "Added", "a"), 1);
    EXPECT_EQ(ini.WriteString("Third", "K", "v"), 1);
    EXPECT_EQ(ReadFileBytes(Path()), "; keep me\n"
                                     "[Tessmark]\n"
                                     "UserName=new\n"
                                     "Other=x\n"
                                     "Added=a\n"
                                     "\n"
                                     "[Next]\n"
                                     "UserName=next\n"
                                     "[Third]\n"
                                     "K=v\n");
}

TEST_F(IniTest, WriteKeepsTheFilesCrLfLineEnds) {
    WriteFileBytes(Path(), "[S]\r\nA=1\r\n");
    EXPECT_EQ(ini.WriteString("S", "B", "2"), 1);
    EXPECT_EQ(ReadFileBytes(Path()), "[S]\r\nA=1\r\nB=2\r\n");
    EXPECT_EQ(Get("S", "A", ""), "1");
}

// CR, LF and CR LF each end a line, alone or mixed; a write keeps the file's
// first line end and every other line as it stands.
TEST_F(IniTest, EveryLineEndEndsALine) {
    const struct {
        const char* name;
        const char* file;
        const char* afterWrite; // the file once B is set to 9
    } cases[] = {
        {"LF", "[S]\nA=1\nB=2\n[T]\nA=t\n", "[S]\nA=1\nB=9\n[T]\nA=t\n"},
        {"CR LF", "[S]\r\nA=1\r\nB=2\r\n[T]\r\nA=t\r\n", "[S]\r\nA=1\r\nB=9\r\n[T]\r\nA=t\r\n"},
        {"CR", "[S]\rA=1\rB=2\r[T]\rA=t\r", "[S]\rA=1\rB=9\r[T]\rA=t\r"},
        {"mixed", "[S]\r\nA=1\rB=2\n[T]\n\rA=t", "[S]\r\nA=1\r\nB=9\r\n[T]\r\n\r\nA=t\r\n"},
        {"no line end at the end", "[S]\nA=1\nB=2\n[T]\nA=t", "[S]\nA=1\nB=9\n[T]\nA=t\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(Path(), c.file);
        EXPECT_EQ(Get("S", "A", "-"), "1");
        EXPECT_EQ(Get("S", "B", "-"), "2");
        EXPECT_EQ(Get("T", "A", "-"), "t");
        ASSERT_EQ(ini.WriteInt("S", "B", 9), 1);
        EXPECT_EQ(ReadFileBytes(Path()), c.afterWrite);
        EXPECT_EQ(Get("S", "A", "-"), "1");
        EXPECT_EQ(Get("T", "A", "-"), "t");
    }
}

// A value is written up to its first CR, LF or zero byte, so that what is
// written reads back the same; the rest is dropped with a log line that does
// not show the value.
TEST_F(IniTest, AValueEndsAtItsFirstLineBreakOrZeroByte) {
    const struct {
        const char* name;
        std::string value;
        const char* readBack;
    } cases[] = {
        {"CR", std::string("left\rright"), "left"},
        {"LF", std::string("left\nright"), "left"},
        {"CR LF", std::string("left\r\n[Evil]\r\nright=1"), "left"},
        {"zero byte", std::string("left\0right", 10), "left"},
        {"first character", std::string("\nright"), ""},
        {"plain", std::string("whole value"), "whole value"},
    };
    testsupport::TempDir logDir;
    const std::string logPath = DebugLog.GetLogPath();
    DebugLog.SetLogFolder(logDir.Folder().c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(logDir.Path("appdebug.log"));
        ASSERT_EQ(ini.WriteString("S", "Secret", c.value.data(), c.value.size()), 1);
        EXPECT_EQ(Get("S", "Secret", "-"), c.readBack);
        EXPECT_EQ(ReadFileBytes(Path()), std::string("[S]\nSecret=") + c.readBack + "\n");
        EXPECT_EQ(Get("Evil", "right", "none"), "none");
        const std::string log = ReadFileBytes(logDir.Path("appdebug.log"));
        const bool cut = c.value != c.readBack;
        EXPECT_EQ(log.find("Secret in section [S]") != std::string::npos, cut) << log;
        EXPECT_EQ(log.find("right"), std::string::npos) << log;
    }
    DebugLog.SetLogFolder(logPath.substr(0, logPath.size() - std::strlen("appdebug.log")).c_str());
}

// Lines are kept as they stand, a zero byte in another line included; the
// zero byte ends what is read of its line.
TEST_F(IniTest, AZeroByteInTheFileEndsItsLinesTextAndSurvivesAWrite) {
    const std::string file = std::string("[S]\nA=ab\0cd\nB=1\n", 16);
    WriteFileBytes(Path(), file);
    EXPECT_EQ(Get("S", "A", "-"), "ab");
    ASSERT_EQ(ini.WriteInt("S", "B", 2), 1);
    EXPECT_EQ(ReadFileBytes(Path()), std::string("[S]\nA=ab\0cd\nB=2\n", 16));
}

TEST_F(IniTest, ValueWithLineBreakCannotAddLines) {
    WriteFileBytes(Path(), "[S]\nA=1\n");
    EXPECT_EQ(ini.WriteString("S", "A", "x\n[Evil]\nInjected=1"), 1);
    EXPECT_EQ(ini.WriteString("S", "B", "y\r\nInjected=2"), 1);
    EXPECT_EQ(ReadFileBytes(Path()), "[S]\nA=x\nB=y\n");
    EXPECT_EQ(Get("Evil", "Injected", "none"), "none");
    EXPECT_EQ(Get("S", "Injected", "none"), "none");
}

TEST_F(IniTest, NamesThatWouldReadBackAsOtherLinesAreRefused) {
    WriteFileBytes(Path(), "[S]\nA=1\n");
    const struct {
        const char* section;
        const char* key;
    } refused[] = {{"S", nullptr}, {"S", ""},      {"S", "  "}, {"S", "a=b"}, {"S", "[x]"},
                   {"S", "a\nb"},  {nullptr, "A"}, {"", "A"},   {"S]x", "A"}, {"S\n", "A"}};
    for (const auto& r : refused)
        EXPECT_EQ(ini.WriteString(r.section, r.key, "v"), 0)
            << (r.section ? r.section : "(null)") << "/" << (r.key ? r.key : "(null)");
    EXPECT_EQ(ReadFileBytes(Path()), "[S]\nA=1\n");
}

TEST_F(IniTest, WriteReplacesTheFileAndLeavesNoTemporaryBehind) {
    WriteFileBytes(Path(), "[S]\nA=1\n");
    struct stat before {};
    ASSERT_EQ(stat(Path().c_str(), &before), 0);
    // Holding the old file open keeps its inode number from being reused.
    FILE* old = std::fopen(Path().c_str(), "rb");
    ASSERT_NE(old, nullptr);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(ini.WriteInt("S", "A", i), 1);
    struct stat after {};
    ASSERT_EQ(stat(Path().c_str(), &after), 0);
    // A new file took the old one's name (rename), not a rewrite in place.
    EXPECT_NE(before.st_ino, after.st_ino);
    std::fclose(old);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Folder()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"test.ini"});
}

TEST_F(IniTest, WriteThatCannotReplaceTheFileFailsAndKeepsIt) {
    // The bound path is a folder: it can be neither read as a file nor replaced.
    std::filesystem::create_directory(Path());
    EXPECT_EQ(ini.WriteString("S", "A", "1"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
    EXPECT_EQ(Get("S", "A", "def"), "def");
}

// A write through a symbolic link replaces the file it points to, with mode
// 0600, and the link stays a link; a link that points nowhere yet gets its
// file, unless the file's folder is missing too.
TEST_F(IniTest, WriteThroughASymbolicLinkReplacesItsTarget) {
    std::filesystem::create_directory(dir.Path("real"));
    const struct {
        const char* name;
        const char* linkTo;     // as the link holds it
        const char* targetPath; // the file it names, below dir; null: none can be made
        const char* before;     // the target's text first; null: no target
    } cases[] = {
        {"relative", "real/settings.ini", "real/settings.ini", "[S]\nA=1\n"},
        {"absolute", nullptr, "real/abs.ini", "[S]\nA=1\n"},
        {"through a second link", "hop.ini", "real/hop-target.ini", "[S]\nA=1\n"},
        {"dangling", "real/new.ini", "real/new.ini", nullptr},
        {"dangling, no folder", "missing/new.ini", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Path());
        std::filesystem::remove(dir.Path("hop.ini"));
        const std::string linkTo = c.linkTo ? c.linkTo : dir.Path(c.targetPath);
        if (std::string(c.name) == "through a second link")
            std::filesystem::create_symlink("real/hop-target.ini", dir.Path("hop.ini"));
        std::filesystem::create_symlink(linkTo, Path());
        if (c.before)
            WriteFileBytes(dir.Path(c.targetPath), c.before);

        EXPECT_EQ(Get("S", "A", "-"), c.before ? "1" : "-");
        EXPECT_EQ(ini.WriteString("S", "A", "2"), c.targetPath ? 1 : 0);
        EXPECT_TRUE(std::filesystem::is_symlink(Path()));
        EXPECT_EQ(std::filesystem::read_symlink(Path()).string(), linkTo);
        if (c.targetPath) {
            EXPECT_EQ(ReadFileBytes(dir.Path(c.targetPath)), "[S]\nA=2\n");
            struct stat st {};
            ASSERT_EQ(stat(dir.Path(c.targetPath).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u);
            EXPECT_EQ(Get("S", "A", "-"), "2");
        }
    }
    // Nothing was left beside the link or the targets.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Folder()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"abs.ini", "hop-target.ini", "new.ini", "real",
                                               "settings.ini", "test.ini"}));
}

// The file is read once for any number of keys while it is unchanged, and
// again once another program changed it; an update writes it once.
TEST_F(IniTest, TheFileIsReadOnceWhileItIsUnchanged) {
    WriteSample();
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(Get("Tessmark", "UserName", "-"), "alice");
    EXPECT_EQ(ini.GetReadCount(), 1u);
    ASSERT_EQ(ini.WriteString("Tessmark", "UserName", "carol"), 1);
    EXPECT_EQ(Get("Tessmark", "UserName", "-"), "carol");
    EXPECT_EQ(ini.GetReadCount(), 1u); // the file it wrote is the one it knows

    // Another program's change, even one of the same size, is seen.
    std::string text = ReadFileBytes(Path());
    text.replace(text.find("carol"), 5, "erica");
    WriteFileBytes(Path(), text);
    EXPECT_EQ(Get("Tessmark", "UserName", "-"), "erica");
    EXPECT_EQ(ini.GetReadCount(), 2u);

    struct stat before {};
    ASSERT_EQ(stat(Path().c_str(), &before), 0);
    ini.BeginUpdate();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(ini.WriteInt("Tessmark", ("Key" + std::to_string(i)).c_str(), i), 1);
    EXPECT_EQ(ReadFileBytes(Path()), text); // nothing is written before the end
    EXPECT_EQ(ini.EndUpdate(), 1);
    EXPECT_EQ(ini.GetInt("Tessmark", "Key19", -1), 19);
    EXPECT_EQ(ini.GetInt("Other", "UserName", -1), 0); // "bob" reads as 0
    EXPECT_EQ(ini.GetReadCount(), 2u);
}

TEST(IniPath, WithoutFolderTheFileLiesInTheProgramFolder) {
    char folder[260];
    ASSERT_TRUE(GetModuleFolder(nullptr, folder, sizeof(folder)));
    CxIniUtil ini(nullptr, "velmora.ini");
    EXPECT_EQ(std::string(ini.GetPath()), std::string(folder) + "velmora.ini");
    CxIniUtil empty("", "x.ini");
    EXPECT_EQ(std::string(empty.GetPath()), std::string(folder) + "x.ini");
}

TEST(IniPath, ConstantInitialisedInstanceResolvesLazily) {
    static constinit CxIniUtil settings(nullptr, "velmora.ini");
    char folder[260];
    ASSERT_TRUE(GetModuleFolder(nullptr, folder, sizeof(folder)));
    EXPECT_EQ(std::string(settings.GetPath()), std::string(folder) + "velmora.ini");
}

TEST(IniPath, SetPathReplacesAndIgnoresEmpty) {
    TempDir dir;
    CxIniUtil ini(dir.Folder().c_str(), "a.ini");
    EXPECT_EQ(std::string(ini.GetPath()), dir.Path("a.ini"));
    ini.SetPath(nullptr);
    ini.SetPath("");
    EXPECT_EQ(std::string(ini.GetPath()), dir.Path("a.ini"));
    ini.SetPath(dir.Path("b.ini").c_str());
    EXPECT_EQ(ini.WriteString("S", "K", "v"), 1);
    EXPECT_TRUE(testsupport::FileExists(dir.Path("b.ini")));
    EXPECT_FALSE(testsupport::FileExists(dir.Path("a.ini")));
}

TEST(IniPath, PathThatDoesNotFitIsNotCutToAnotherFile) {
    TempDir dir;
    const std::string longFolder = dir.Folder() + std::string(300, 'f') + "/";
    CxIniUtil ini(longFolder.c_str(), "a.ini");
    EXPECT_STREQ(ini.GetPath(), "");
    EXPECT_EQ(ini.WriteString("S", "K", "v"), 0);
    char buf[8];
    EXPECT_EQ(ini.GetString("S", "K", buf, sizeof(buf), "d"), 1);
    EXPECT_STREQ(buf, "d");

    CxIniUtil other(dir.Folder().c_str(), "b.ini");
    other.SetPath((dir.Folder() + std::string(300, 'x')).c_str());
    EXPECT_STREQ(other.GetPath(), "");
    EXPECT_EQ(other.WriteString("S", "K", "v"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Folder()));
}

} // namespace
