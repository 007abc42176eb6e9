#include "Base64.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const unsigned char* Bytes(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

// Encodes into a buffer filled with '#', so that bytes written beyond the text show.
std::string Encode(const std::string& plain, size_t capacity, bool* ok) {
    std::vector<char> out(capacity + 8, '#');
    *ok = Base64Encode(Bytes(plain.c_str()), plain.size(), out.data(), capacity);
    return std::string(out.data(), out.size());
}

TEST(Base64Encode, WritesFourCharactersPerGroupAndNoTerminator) {
    const struct {
        const char* plain;
        const char* text;
    } cases[] = {{"f", "Zg=="},        {"fo", "Zm8="},        {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
                 {"\xff\xfe", "//4="}, {"\xfb\xff", "+/8="}};
    for (const auto& c : cases) {
        const size_t len = std::strlen(c.text);
        bool ok = false;
        std::string out = Encode(c.plain, len, &ok);
        EXPECT_TRUE(ok) << c.plain;
        EXPECT_EQ(out, std::string(c.text) + std::string(8, '#')) << c.plain;
    }
}

TEST(Base64Encode, RefusesNothingToWriteAndTooSmallBuffers) {
    bool ok = true;
    EXPECT_EQ(Encode("", 16, &ok), std::string(24, '#'));
    EXPECT_FALSE(ok);
    // "foob" needs 8 characters.
    EXPECT_EQ(Encode("foob", 7, &ok), std::string(15, '#'));
    EXPECT_FALSE(ok);
    char out[8];
    EXPECT_FALSE(Base64Encode(nullptr, 3, out, sizeof(out)));
    EXPECT_FALSE(Base64Encode(Bytes("abc"), 3, nullptr, 8));
    // A count whose text size would overflow is refused, not wrapped.
    EXPECT_FALSE(Base64Encode(Bytes("abc"), SIZE_MAX, out, sizeof(out)));
}

struct DecodeCase {
    const char* text;
    std::string bytes;
};

// Decodes into a buffer filled with 0xEE, so that bytes beyond the count show.
std::string Decode(const char* text, size_t capacity, size_t* count, bool* ok) {
    std::vector<unsigned char> out(capacity + 8, 0xEE);
    *count = 12345;
    *ok = Base64Decode(text, out.data(), capacity, count);
    for (size_t i = *count; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xEE) << "byte " << i << " of " << (text ? text : "(null)");
    return std::string(reinterpret_cast<const char*>(out.data()),
                       *count <= out.size() ? *count : 0);
}

TEST(Base64Decode, GroupsPaddingForeignCharactersAndTheTerminator) {
    const DecodeCase cases[] = {
        {"Zm9vYmFy", "foobar"},
        {"Zg==Zm9v", "ffoo"}, // padding ends a group, not the text
        {"Zg==Zm9vYg==", "ffoob"},
        {"Zm8", "fo"},         // terminator in the fourth place
        {"Zg", "f"},           // terminator in the third place
        {"Zm9vZ", "foo"},      // terminator in the second place: no byte
        {"Zm*v", "f"},         // foreign character in the third place
        {"Zm9*Zm9v", "fofoo"}, // the next group is still decoded
        {"=AAAZm9v", "foo"},   // "=" in the first place yields nothing
        {"Z=AAZm9v", "foo"},   // "=" in the second place yields nothing
        {"//4=", "\xff\xfe"},
    };
    for (const auto& c : cases) {
        size_t count = 0;
        bool ok = false;
        EXPECT_EQ(Decode(c.text, 64, &count, &ok), c.bytes) << c.text;
        EXPECT_EQ(count, c.bytes.size()) << c.text;
        EXPECT_TRUE(ok) << c.text;
    }
}

TEST(Base64Decode, NoBytesIsFalse) {
    for (const char* text : {"", "Z", "====", "!!!!", "=A"}) {
        size_t count = 0;
        bool ok = true;
        EXPECT_EQ(Decode(text, 64, &count, &ok), "") << text;
        EXPECT_EQ(count, 0u) << text;
        EXPECT_FALSE(ok) << text;
    }
    unsigned char out[4];
    size_t count = 99;
    EXPECT_FALSE(Base64Decode(nullptr, out, sizeof(out), &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(Base64Decode("Zm9v", nullptr, 4, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(Base64Decode("Zm9v", out, sizeof(out), nullptr));
}

TEST(Base64Decode, NeverWritesBeyondTheCapacity) {
    const struct {
        size_t capacity;
        const char* bytes;
    } cases[] = {{0, ""}, {1, "f"}, {2, "fo"}, {4, "foob"}, {5, "fooba"}, {6, "foobar"}};
    for (const auto& c : cases) {
        size_t count = 0;
        bool ok = false;
        EXPECT_EQ(Decode("Zm9vYmFy", c.capacity, &count, &ok), c.bytes) << c.capacity;
        EXPECT_EQ(ok, c.capacity > 0) << c.capacity;
    }
}

TEST(Base64, EveryByteValueRoundTrips) {
    std::vector<unsigned char> plain(256);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<unsigned char>(i);
    for (size_t len = 1; len <= plain.size(); len += 85) {
        std::vector<char> text(4 * ((len + 2) / 3) + 1, '\0');
        ASSERT_TRUE(Base64Encode(plain.data(), len, text.data(), text.size() - 1));
        std::vector<unsigned char> back(len);
        size_t count = 0;
        ASSERT_TRUE(Base64Decode(text.data(), back.data(), back.size(), &count));
        ASSERT_EQ(count, len);
        EXPECT_EQ(std::memcmp(back.data(), plain.data(), len), 0) << len;
    }
}

} // namespace
