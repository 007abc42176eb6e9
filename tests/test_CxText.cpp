#include "CxText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// "é" is C3 A9, "€" is E2 82 AC, "😀" is F0 9F 98 80.
struct CopyCase {
    const char* src;
    size_t cap;
    const char* expected;
};

class CopyTextCut : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyTextCut, StaysInCapacityAndOnCharacterBoundary) {
    const CopyCase& c = GetParam();
    char buf[16];
    std::memset(buf, '#', sizeof(buf));
    CopyText(buf, c.cap, c.src);
    EXPECT_STREQ(buf, c.expected);
    // Nothing beyond the capacity is touched.
    for (size_t i = c.cap; i < sizeof(buf); ++i)
        EXPECT_EQ(buf[i], '#') << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyTextCut,
    ::testing::Values(CopyCase{"abc", 4, "abc"}, CopyCase{"abcd", 4, "abc"},
                      CopyCase{"ab\xC3\xA9", 4, "ab"},       // é would need bytes 2 and 3
                      CopyCase{"a\xC3\xA9", 4, "a\xC3\xA9"}, // é fits exactly
                      CopyCase{"a\xE2\x82\xAC", 3, "a"},     // € cut after its 1st byte
                      CopyCase{"a\xE2\x82\xAC", 4, "a"},     // € cut after its 2nd byte
                      CopyCase{"\xF0\x9F\x98\x80z", 5, "\xF0\x9F\x98\x80"},
                      CopyCase{"\xF0\x9F\x98\x80z", 4, ""}, CopyCase{"abc", 1, ""},
                      CopyCase{nullptr, 4, ""}));

TEST(CopyText, ZeroCapacityOrNullDestinationWritesNothing) {
    char buf[4] = {'#', '#', '#', '\0'};
    CopyText(buf, 0, "abc");
    EXPECT_STREQ(buf, "###");
    CopyText(nullptr, 4, "abc"); // must not crash
}

TEST(CopyText, ArrayOverloadUsesTheArraySize) {
    char buf[4];
    CopyText(buf, "abcdef");
    EXPECT_STREQ(buf, "abc");
}

TEST(AppendText, AppendsAndCutsAtCharacterBoundary) {
    char buf[6] = "ab";
    AppendText(buf, "cd\xC3\xA9");
    // "abcd" + é would take 6 bytes plus the terminator; only "abcd" fits.
    EXPECT_STREQ(buf, "abcd");
    AppendText(buf, "e");
    EXPECT_STREQ(buf, "abcde");
    AppendText(buf, "f");
    EXPECT_STREQ(buf, "abcde");
}

TEST(AppendText, UnterminatedDestinationIsTerminatedInsideCapacity) {
    char buf[5];
    std::memset(buf, 'x', sizeof(buf));
    AppendText(buf, sizeof(buf), "yz");
    EXPECT_EQ(std::string(buf, 4), "xxxx");
    EXPECT_EQ(buf[4], '\0');
}

struct PrefixCase {
    const char* text;
    size_t expected;
};

class CompletePrefix : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(CompletePrefix, DropsOnlyAnUnfinishedLastCharacter) {
    const PrefixCase& c = GetParam();
    EXPECT_EQ(Utf8CompletePrefix(c.text, std::strlen(c.text)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CompletePrefix,
                         ::testing::Values(PrefixCase{"", 0}, PrefixCase{"abc", 3},
                                           PrefixCase{"a\xC3", 1}, PrefixCase{"a\xC3\xA9", 3},
                                           PrefixCase{"a\xE2\x82", 1},
                                           PrefixCase{"a\xE2\x82\xAC", 4},
                                           PrefixCase{"\xF0\x9F\x98", 0},
                                           PrefixCase{"\xF0\x9F\x98\x80", 4}));

TEST(Utf8CutLength, CutsBeforeACharacterThatWouldNotFit) {
    const char* text = "a\xE2\x82\xAC"
                       "b";
    EXPECT_EQ(Utf8CutLength(text, 5, 10), 5u);
    EXPECT_EQ(Utf8CutLength(text, 5, 4), 4u);
    EXPECT_EQ(Utf8CutLength(text, 5, 3), 1u);
    EXPECT_EQ(Utf8CutLength(text, 5, 1), 1u);
    EXPECT_EQ(Utf8CutLength(text, 5, 0), 0u);
    EXPECT_EQ(Utf8CutLength(nullptr, 5, 3), 0u);
}

} // namespace
