#include "CxSFParamParser.h"

#include "TestSupport.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

// Little-endian byte builders for the expected file contents.
std::string Int32(int32_t v) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
}

std::string Text(const std::string& t) {
    return Int32(static_cast<int32_t>(t.size())) + t;
}

std::string SavedBytes(CxSFParamParser& parser, const TempDir& dir) {
    std::string path = dir.Path("param.dat");
    EXPECT_TRUE(parser.SaveParams(path.c_str()));
    return ReadFileBytes(path);
}

} // namespace

TEST(CxSFParamParser, WritesEveryTypeInTheExactLayout) {
    TempDir dir;
    CxSFParamParser parser;
    int32_t i = -7;
    double d = -2.9;
    unsigned char flag = 1;
    ASSERT_TRUE(parser.SetParam(1001, ptText, "bob@example.com"));
    ASSERT_TRUE(parser.SetParam(7, ptInt, &i));
    ASSERT_TRUE(parser.SetParam(8, ptDouble, &d));
    ASSERT_TRUE(parser.SetParam(9, ptFlag, &flag));
    ASSERT_TRUE(parser.SetParam(1010, ptText, ""));

    std::string expected = Int32(5) + Int32(1001) + Int32(8) + Text("bob@example.com") + Int32(7) +
                           Int32(3) + Int32(-7) + Int32(8) + Int32(5) + Int32(-2) + Int32(9) +
                           Int32(11) + std::string("\x01\x00\x00\x00", 4) + Int32(1010) + Int32(8) +
                           Int32(0);
    EXPECT_EQ(SavedBytes(parser, dir), expected);
}

TEST(CxSFParamParser, NoEntriesGiveFourZeroBytes) {
    TempDir dir;
    CxSFParamParser parser;
    EXPECT_EQ(SavedBytes(parser, dir), std::string(4, '\0'));
}

TEST(CxSFParamParser, DoublesAreTruncatedAndClamped) {
    struct Case {
        double value;
        int32_t written;
    } cases[] = {
        {45678.99, 45678},
        {-0.5, 0},
        {1e12, INT32_MAX},
        {-1e12, INT32_MIN},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {std::numeric_limits<double>::infinity(), INT32_MAX},
    };
    TempDir dir;
    for (const Case& c : cases) {
        CxSFParamParser parser;
        ASSERT_TRUE(parser.SetParam(1201, ptDouble, &c.value));
        EXPECT_EQ(SavedBytes(parser, dir), Int32(1) + Int32(1201) + Int32(5) + Int32(c.written))
            << c.value;
    }
}

TEST(CxSFParamParser, ReplacementKeepsThePlaceAndATypeClashIsRefused) {
    TempDir dir;
    CxSFParamParser parser;
    int32_t one = 1;
    ASSERT_TRUE(parser.SetParam(1001, ptText, "first"));
    ASSERT_TRUE(parser.SetParam(1002, ptInt, &one));
    ASSERT_TRUE(parser.SetParam(1003, ptText, "third"));
    EXPECT_TRUE(parser.SetParam(1001, ptText, "replaced"));
    EXPECT_FALSE(parser.SetParam(1003, ptInt, &one));
    EXPECT_FALSE(parser.SetParam(1004, ptText, nullptr));
    EXPECT_FALSE(parser.SetParam(1005, 99, &one)); // a type without a file layout

    EXPECT_EQ(parser.GetCount(), 3u);
    const ParamEntry* third = parser.FindParam(1003);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->nType, ptText);
    EXPECT_EQ(third->value.sText, u"third");
    EXPECT_EQ(parser.FindParam(1004), nullptr);

    std::string expected = Int32(3) + Int32(1001) + Int32(8) + Text("replaced") + Int32(1002) +
                           Int32(3) + Int32(1) + Int32(1003) + Int32(8) + Text("third");
    EXPECT_EQ(SavedBytes(parser, dir), expected);
}

TEST(CxSFParamParser, LongTextsAreCutWithoutSplittingCharacters) {
    struct Case {
        const char* name;
        std::string input;
        size_t units;        // UTF-16 code units kept
        std::string written; // bytes in the file
    } cases[] = {
        {"ascii 1024", std::string(1024, 'a'), 1023, std::string(1023, 'a')},
        {"ascii 1023", std::string(1023, 'b'), 1023, std::string(1023, 'b')},
        // 1023 two-byte characters fit in memory but not in 1023 bytes.
        {"two-byte",
         [] {
             std::string s;
             for (int i = 0; i < 1100; ++i)
                 s += "\xC3\xBC";
             return s;
         }(),
         1023,
         [] {
             std::string s;
             for (int i = 0; i < 511; ++i)
                 s += "\xC3\xBC";
             return s;
         }()},
        // A surrogate pair that would straddle the 1023-unit limit is dropped whole.
        {"surrogate pair at the limit", std::string(1022, 'c') + "\xF0\x9F\x98\x80", 1022,
         std::string(1022, 'c')},
    };
    TempDir dir;
    for (const Case& c : cases) {
        CxSFParamParser parser;
        ASSERT_TRUE(parser.SetParam(1009, ptText, c.input.c_str()));
        EXPECT_EQ(parser.FindParam(1009)->value.sText.size(), c.units) << c.name;
        EXPECT_EQ(SavedBytes(parser, dir), Int32(1) + Int32(1009) + Int32(8) + Text(c.written))
            << c.name;
    }
}

TEST(CxSFParamParser, TextConversionKeepsNonAsciiAndReplacesInvalidBytes) {
    struct Case {
        const char* input;
        std::u16string utf16;
        std::string written;
    } cases[] = {
        {"J\xC3\xBCrgen \xC5\x81ukasz Zo\xC3\xAB", u"J\u00FCrgen \u0141ukasz Zo\u00EB",
         "J\xC3\xBCrgen \xC5\x81ukasz Zo\xC3\xAB"},
        {"\xE4\xBD\x90\xE8\x97\xA4 \xF0\x9F\x98\x80", u"\u4F50\u85E4 \U0001F600",
         "\xE4\xBD\x90\xE8\x97\xA4 \xF0\x9F\x98\x80"},
        {"a\xFF"
         "b",
         u"a?b", "a?b"},
        {"\xC3", u"?", "?"},             // truncated sequence
        {"\xC0\xAF", u"??", "??"},       // overlong
        {"\xED\xA0\x80", u"???", "???"}, // encoded surrogate
        {"x\xE2\x82"
         "y",
         u"x??y", "x??y"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        CxSFParamParser parser;
        ASSERT_TRUE(parser.SetParam(1001, ptText, c.input));
        EXPECT_EQ(parser.FindParam(1001)->value.sText, c.utf16) << c.input;
        EXPECT_EQ(SavedBytes(parser, dir), Int32(1) + Int32(1001) + Int32(8) + Text(c.written))
            << c.input;
    }
}

TEST(CxSFParamParser, FlagsStoreZeroOrOne) {
    TempDir dir;
    CxSFParamParser parser;
    unsigned char two = 2, zero = 0;
    ASSERT_TRUE(parser.SetParam(1, ptFlag, &two));
    ASSERT_TRUE(parser.SetParam(2, ptFlag, &zero));
    EXPECT_EQ(parser.FindParam(1)->value.wFlag, 1);
    EXPECT_EQ(SavedBytes(parser, dir), Int32(2) + Int32(1) + Int32(11) +
                                           std::string("\x01\x00\x00\x00", 4) + Int32(2) +
                                           Int32(11) + std::string(4, '\0'));
}

TEST(CxSFParamParser, FileIsPrivateAndReplacesAnOldOne) {
    TempDir dir;
    std::string path = dir.Path("SFAddrParam.dat");
    testsupport::WriteFileBytes(path, "old contents that are longer than the new file");
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);

    CxSFParamParser parser(path.c_str());
    ASSERT_TRUE(parser.SetParam(1002, ptText, "secret"));
    ASSERT_TRUE(parser.SaveParams());

    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFileBytes(path), Int32(1) + Int32(1002) + Int32(8) + Text("secret"));
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Folder()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(CxSFParamParser, PathHandlingAndFailures) {
    TempDir dir;
    CxSFParamParser none;
    EXPECT_FALSE(none.SaveParams()); // no path known
    EXPECT_FALSE(none.SaveParams(dir.Path("missing/param.dat").c_str()));
    EXPECT_FALSE(none.SaveParams(dir.Folder().c_str())); // a folder is in the way

    // A path that does not fit is refused, never cut to another file's name.
    const std::string longPath = dir.Folder() + std::string(260 - dir.Folder().size(), 'p');
    CxSFParamParser refused(longPath.c_str());
    EXPECT_STREQ(refused.GetPath(), "");
    errno = 0;
    EXPECT_FALSE(refused.SaveParams());
    EXPECT_EQ(errno, ENAMETOOLONG);
    CxSFParamParser later;
    ASSERT_TRUE(later.SetParam(1002, ptText, "secret"));
    EXPECT_FALSE(later.SaveParams(longPath.c_str()));
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Folder()));

    // An empty path keeps the stored one.
    std::string path = dir.Path("p.dat");
    CxSFParamParser parser(path.c_str());
    EXPECT_TRUE(parser.SaveParams(""));
    EXPECT_TRUE(testsupport::FileExists(path));
}

TEST(CxSFParamParser, ClearEmptiesTheList) {
    CxSFParamParser parser;
    ASSERT_TRUE(parser.SetParam(1001, ptText, "a"));
    ASSERT_TRUE(parser.SetParam(1002, ptText, "b"));
    parser.ClearParams();
    EXPECT_EQ(parser.GetCount(), 0u);
    EXPECT_EQ(parser.FindParam(1001), nullptr);
    int32_t n = 5;
    EXPECT_TRUE(parser.SetParam(1001, ptInt, &n)); // the old type is gone with the entry
}
