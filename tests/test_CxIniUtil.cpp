#include "CxIniUtil.h"
#include "WinUtil.h"

#include "TestSupport.h"

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
