#include "CxFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class CxFileTest : public ::testing::Test {
protected:
    std::string Path() const { return m_dir.Path("values.dat"); }
    // Opens a file holding exactly the given bytes for reading.
    void OpenWith(const std::string& bytes) {
        WriteFileBytes(Path(), bytes);
        ASSERT_TRUE(m_file.Open(Path().c_str(), "rb"));
    }
    testsupport::TempDir m_dir;
    CxFile m_file;
};

// ---- encodings on disk ----

struct EncodingCase {
    const char* name;
    std::function<bool(CxFile&)> write;
    std::string bytes;
};

class CxFileEncoding : public CxFileTest, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(CxFileEncoding, WritesExactBytes) {
    const EncodingCase& c = GetParam();
    ASSERT_TRUE(m_file.Open(Path().c_str(), "wb"));
    EXPECT_TRUE(c.write(m_file));
    EXPECT_TRUE(m_file.Close());
    EXPECT_FALSE(m_file.HasFailed());
    EXPECT_EQ(ReadFileBytes(Path()), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CxFileEncoding,
    ::testing::Values(EncodingCase{"IntMinusTwo", [](CxFile& f) { return f.WriteInt(-2); },
                                   Bytes({0xFE, 0xFF, 0xFF, 0xFF})},
                      EncodingCase{"IntLittleEndian",
                                   [](CxFile& f) { return f.WriteInt(0x01020304); },
                                   Bytes({0x04, 0x03, 0x02, 0x01})},
                      EncodingCase{"DoubleOne", [](CxFile& f) { return f.WriteDouble(1.0); },
                                   Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F})},
                      EncodingCase{"FlagTrue", [](CxFile& f) { return f.WriteBool(true); },
                                   Bytes({0x01, 0, 0, 0})},
                      EncodingCase{"FlagFalse", [](CxFile& f) { return f.WriteBool(false); },
                                   Bytes({0, 0, 0, 0})},
                      EncodingCase{"StringAbc", [](CxFile& f) { return f.WriteString("abc"); },
                                   Bytes({0x03, 0, 0, 0, 0x61, 0x62, 0x63})},
                      EncodingCase{"StringCountsBytes",
                                   [](CxFile& f) { return f.WriteString("\xC3\xA9"); },
                                   Bytes({0x02, 0, 0, 0, 0xC3, 0xA9})},
                      EncodingCase{"StringEmpty", [](CxFile& f) { return f.WriteString(""); },
                                   Bytes({0, 0, 0, 0})},
                      EncodingCase{"StringNull", [](CxFile& f) { return f.WriteString(nullptr); },
                                   Bytes({0, 0, 0, 0})},
                      EncodingCase{"LineX", [](CxFile& f) { return f.WriteLine("x"); },
                                   Bytes({0x78, 0x0D, 0x0A})},
                      EncodingCase{"LineNull", [](CxFile& f) { return f.WriteLine(nullptr); },
                                   Bytes({0x0D, 0x0A})}),
    [](const ::testing::TestParamInfo<EncodingCase>& info) { return info.param.name; });

TEST_F(CxFileTest, WriteLineAppendsInAppendMode) {
    WriteFileBytes(Path(), "ab");
    ASSERT_TRUE(m_file.Open(Path().c_str(), "ab"));
    EXPECT_TRUE(m_file.WriteLine("x"));
    EXPECT_TRUE(m_file.Close());
    EXPECT_EQ(ReadFileBytes(Path()), "ab\x78\x0D\x0A");
}

// ---- reading values back ----

struct FlagCase {
    std::string slot;
    bool expected;
};

class CxFileFlag : public CxFileTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(CxFileFlag, OnlyTheFirstByteCountsAndOnlyTheFlagIsWritten) {
    OpenWith(GetParam().slot + Bytes({0x2A, 0, 0, 0}));
    struct {
        bool flag;
        unsigned char guard[3];
    } dest;
    dest.flag = !GetParam().expected;
    std::memset(dest.guard, 0x5A, sizeof(dest.guard));
    ASSERT_TRUE(m_file.ReadBool(&dest.flag));
    EXPECT_EQ(dest.flag, GetParam().expected);
    for (unsigned char g : dest.guard)
        EXPECT_EQ(g, 0x5A);
    // The whole slot was consumed.
    int32_t next = 0;
    ASSERT_TRUE(m_file.ReadInt(&next));
    EXPECT_EQ(next, 42);
}

INSTANTIATE_TEST_SUITE_P(Slots, CxFileFlag,
                         ::testing::Values(FlagCase{Bytes({0x01, 0, 0, 0}), true},
                                           FlagCase{Bytes({0x05, 0, 0, 0}), true},
                                           FlagCase{Bytes({0x00, 0xFF, 0xFF, 0xFF}), false},
                                           FlagCase{Bytes({0, 0, 0, 0}), false}));

TEST_F(CxFileTest, RecordRoundTrip) {
    ASSERT_TRUE(m_file.Open(Path().c_str(), "wb"));
    EXPECT_TRUE(m_file.WriteInt(-7));
    EXPECT_TRUE(m_file.WriteDouble(41034.5));
    EXPECT_TRUE(m_file.WriteBool(true));
    EXPECT_TRUE(m_file.WriteString("M\xC3\xBCller"));
    EXPECT_TRUE(m_file.WriteString(nullptr));
    EXPECT_TRUE(m_file.WriteInt(INT32_MIN));
    ASSERT_TRUE(m_file.Close());

    ASSERT_TRUE(m_file.Open(Path().c_str(), "rb"));
    int32_t first = 0, last = 0, len = -1;
    double date = 0;
    bool flag = false;
    char name[32] = "";
    char empty[8] = "keep";
    EXPECT_TRUE(m_file.ReadInt(&first));
    EXPECT_TRUE(m_file.ReadDouble(&date));
    EXPECT_TRUE(m_file.ReadBool(&flag));
    EXPECT_TRUE(m_file.ReadString(name, sizeof(name), &len));
    EXPECT_EQ(len, 7);
    // A stored length of 0 leaves the buffer as it was.
    EXPECT_TRUE(m_file.ReadString(empty, sizeof(empty), &len));
    EXPECT_EQ(len, 0);
    EXPECT_TRUE(m_file.ReadInt(&last));
    EXPECT_FALSE(m_file.HasFailed());
    EXPECT_EQ(first, -7);
    EXPECT_EQ(date, 41034.5);
    EXPECT_TRUE(flag);
    EXPECT_STREQ(name, "M\xC3\xBCller");
    EXPECT_STREQ(empty, "keep");
    EXPECT_EQ(last, INT32_MIN);
}

TEST_F(CxFileTest, NegativeStoredLengthLeavesBufferAndNextValueIsRead) {
    OpenWith(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x09, 0, 0, 0}));
    char buf[8] = "keep";
    int32_t len = 0, next = 0;
    EXPECT_TRUE(m_file.ReadString(buf, sizeof(buf), &len));
    EXPECT_EQ(len, -1);
    EXPECT_STREQ(buf, "keep");
    EXPECT_TRUE(m_file.ReadInt(&next));
    EXPECT_EQ(next, 9);
}

// ---- a stored text longer than the buffer ----

struct CutCase {
    const char* stored;
    size_t capacity;
    const char* expected;
};

class CxFileStringCut : public CxFileTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(CxFileStringCut, KeepsWholeCharactersAndSkipsTheRest) {
    const CutCase& c = GetParam();
    ASSERT_TRUE(m_file.Open(Path().c_str(), "wb"));
    m_file.WriteString(c.stored);
    m_file.WriteInt(0x12345678);
    ASSERT_TRUE(m_file.Close());

    ASSERT_TRUE(m_file.Open(Path().c_str(), "rb"));
    char buf[16];
    std::memset(buf, '#', sizeof(buf));
    int32_t len = 0, next = 0;
    EXPECT_TRUE(m_file.ReadString(buf, c.capacity, &len));
    EXPECT_STREQ(buf, c.expected);
    for (size_t i = c.capacity; i < sizeof(buf); ++i)
        EXPECT_EQ(buf[i], '#') << "byte " << i << " beyond the capacity";
    EXPECT_EQ(len, static_cast<int32_t>(std::strlen(c.stored)));
    EXPECT_TRUE(m_file.ReadInt(&next));
    EXPECT_EQ(next, 0x12345678);
    EXPECT_FALSE(m_file.HasFailed());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CxFileStringCut,
    ::testing::Values(CutCase{"abcdef", 4, "abc"}, CutCase{"abc", 4, "abc"}, CutCase{"abc", 1, ""},
                      // € (E2 82 AC) straddles the cut after "ab": it is left out whole.
                      CutCase{"ab\xE2\x82\xAC"
                              "cd",
                              5, "ab"},
                      CutCase{"ab\xE2\x82\xAC"
                              "cd",
                              6, "ab\xE2\x82\xAC"},
                      CutCase{"\xC3\xA9\xC3\xA9", 4, "\xC3\xA9"},
                      CutCase{"\xF0\x9F\x98\x80!", 4, ""}));

// ---- files that end too early ----

struct ShortCase {
    const char* name;
    std::string bytes;
    std::function<bool(CxFile&, std::string&)> read; // result text of the destination
    std::string expected;
};

class CxFileShortRead : public CxFileTest, public ::testing::WithParamInterface<ShortCase> {};

TEST_P(CxFileShortRead, FailsVisiblyAndLeavesASaneDestination) {
    const ShortCase& c = GetParam();
    OpenWith(c.bytes);
    std::string dest;
    EXPECT_FALSE(c.read(m_file, dest));
    EXPECT_TRUE(m_file.HasFailed());
    EXPECT_EQ(dest, c.expected);
    // The state lasts until the next Open.
    EXPECT_TRUE(m_file.Close());
    EXPECT_TRUE(m_file.HasFailed());
    ASSERT_TRUE(m_file.Open(Path().c_str(), "rb"));
    EXPECT_FALSE(m_file.HasFailed());
}

bool ReadIntText(CxFile& f, std::string& out) {
    int32_t v = 77;
    bool ok = f.ReadInt(&v);
    out = std::to_string(v);
    return ok;
}

bool ReadDoubleText(CxFile& f, std::string& out) {
    double v = 2.5;
    bool ok = f.ReadDouble(&v);
    out = std::to_string(v);
    return ok;
}

bool ReadBoolText(CxFile& f, std::string& out) {
    bool v = true;
    bool ok = f.ReadBool(&v);
    out = v ? "true" : "false";
    return ok;
}

// The buffer starts unterminated, so a missing terminator shows as garbage.
bool ReadStringText(CxFile& f, std::string& out, size_t capacity) {
    char buf[16];
    std::memset(buf, '#', sizeof(buf));
    bool ok = f.ReadString(buf, capacity);
    const void* end = std::memchr(buf, '\0', capacity);
    out = end ? std::string(buf) : std::string("<unterminated>");
    return ok;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CxFileShortRead,
    ::testing::Values(
        ShortCase{"IntHalf", Bytes({0x01, 0x02}), ReadIntText, "77"},
        ShortCase{"DoubleSevenBytes", std::string(7, '\x01'), ReadDoubleText, "2.500000"},
        ShortCase{"FlagThreeBytes", Bytes({0, 0, 0}), ReadBoolText, "true"},
        ShortCase{"StringLengthCut", Bytes({0x05, 0}),
                  [](CxFile& f, std::string& s) { return ReadStringText(f, s, 8); }, ""},
        ShortCase{"StringTextCut", Bytes({0x05, 0, 0, 0}) + "ab",
                  [](CxFile& f, std::string& s) { return ReadStringText(f, s, 8); }, "ab"},
        ShortCase{"StringCutInsideCharacter", Bytes({0x05, 0, 0, 0}) + "a\xE2\x82",
                  [](CxFile& f, std::string& s) { return ReadStringText(f, s, 8); }, "a"},
        ShortCase{"StringSkippedPartCut", Bytes({0x0A, 0, 0, 0}) + "abcdef",
                  [](CxFile& f, std::string& s) { return ReadStringText(f, s, 4); }, "abc"}),
    [](const ::testing::TestParamInfo<ShortCase>& info) { return info.param.name; });

// ---- writes that do not reach the disk ----

TEST_F(CxFileTest, FullDiskShowsAtCloseWhenTheWriteWasBuffered) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(m_file.Open("/dev/full", "wb"));
    EXPECT_TRUE(m_file.WriteInt(1)); // still in the stream's buffer
    EXPECT_FALSE(m_file.Close());
    EXPECT_TRUE(m_file.HasFailed());
    EXPECT_FALSE(m_file.IsOpen());
}

TEST_F(CxFileTest, FullDiskShowsAtTheWriteThatOverflowsTheBuffer) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(m_file.Open("/dev/full", "wb"));
    std::vector<char> block(1 << 20, 'x');
    EXPECT_FALSE(m_file.WriteBytes(block.data(), block.size()));
    EXPECT_TRUE(m_file.HasFailed());
    m_file.Close();
}

TEST_F(CxFileTest, WriteToAStreamOpenedForReadingFails) {
    OpenWith("abcd");
    EXPECT_FALSE(m_file.WriteInt(1));
    EXPECT_TRUE(m_file.HasFailed());
}

// ---- no stream, bad arguments ----

TEST(CxFileClosed, EveryOperationFailsButClose) {
    CxFile f;
    int32_t i = 0;
    double d = 0;
    bool b = false;
    char buf[4] = "abc";
    EXPECT_FALSE(f.WriteInt(1));
    EXPECT_FALSE(f.WriteDouble(1));
    EXPECT_FALSE(f.WriteBool(true));
    EXPECT_FALSE(f.WriteString("a"));
    EXPECT_FALSE(f.WriteLine("a"));
    EXPECT_FALSE(f.ReadInt(&i));
    EXPECT_FALSE(f.ReadDouble(&d));
    EXPECT_FALSE(f.ReadBool(&b));
    EXPECT_FALSE(f.ReadString(buf, sizeof(buf)));
    EXPECT_STREQ(buf, "abc");
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.HasFailed());
}

TEST_F(CxFileTest, OpenRefusesBadArgumentsAndMissingFiles) {
    EXPECT_FALSE(m_file.Open(nullptr, "rb"));
    EXPECT_FALSE(m_file.Open("", "rb"));
    EXPECT_FALSE(m_file.Open(Path().c_str(), nullptr));
    EXPECT_FALSE(m_file.Open(Path().c_str(), ""));
    EXPECT_FALSE(m_file.Open(m_dir.Path("missing.dat").c_str(), "rb"));
    EXPECT_FALSE(m_file.IsOpen());
}

TEST_F(CxFileTest, NullDestinationsAreRefused) {
    OpenWith(Bytes({0x03, 0, 0, 0}) + "abc");
    EXPECT_FALSE(m_file.ReadInt(nullptr));
    EXPECT_FALSE(m_file.ReadDouble(nullptr));
    EXPECT_FALSE(m_file.ReadBool(nullptr));
    EXPECT_FALSE(m_file.ReadString(nullptr, 8));
    char buf[4] = "xyz";
    EXPECT_FALSE(m_file.ReadString(buf, 0));
    // Nothing was consumed by the refused calls.
    char text[8];
    EXPECT_TRUE(m_file.ReadString(text, sizeof(text)));
    EXPECT_STREQ(text, "abc");
}

size_t OpenDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

TEST_F(CxFileTest, OpenAgainClosesTheStreamStillOpen) {
    WriteFileBytes(m_dir.Path("other.dat"), "x");
    size_t before = OpenDescriptors();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(m_file.Open(m_dir.Path("other.dat").c_str(), "rb"));
        ASSERT_TRUE(m_file.Open(Path().c_str(), "wb"));
    }
    EXPECT_TRUE(m_file.WriteInt(3));
    EXPECT_TRUE(m_file.Close());
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(ReadFileBytes(Path()), Bytes({3, 0, 0, 0}));
}

TEST_F(CxFileTest, GetFileSize) {
    WriteFileBytes(m_dir.Path("empty.dat"), "");
    WriteFileBytes(m_dir.Path("seven.dat"), "1234567");
    EXPECT_EQ(CxFile::GetFileSize(nullptr), -1);
    EXPECT_EQ(CxFile::GetFileSize(""), -1);
    EXPECT_EQ(CxFile::GetFileSize(m_dir.Path("missing.dat").c_str()), -1);
    EXPECT_EQ(CxFile::GetFileSize(m_dir.Folder().c_str()), -1);
    EXPECT_EQ(CxFile::GetFileSize(m_dir.Path("empty.dat").c_str()), 0);
    EXPECT_EQ(CxFile::GetFileSize(m_dir.Path("seven.dat").c_str()), 7);
}

} // namespace
