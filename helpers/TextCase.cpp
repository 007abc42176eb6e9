#include "TextCase.h"

namespace {

char32_t MapCase(char32_t c, bool upper) {
    if (c < 0x80) {
        if (upper && c >= 'a' && c <= 'z')
            return c - 32;
        if (!upper && c >= 'A' && c <= 'Z')
            return c + 32;
        return c;
    }
    // Latin-1: U+00C0..U+00DE and U+00E0..U+00FE, apart from the signs U+00D7 and U+00F7.
    if (c >= 0xC0 && c <= 0xFE && c != 0xD7 && c != 0xF7 && c != 0xDF) {
        bool isUpper = c <= 0xDE;
        if (upper && !isUpper)
            return c - 0x20;
        if (!upper && isUpper)
            return c + 0x20;
        return c;
    }
    // Latin Extended-A: pairs, upper case first, in two runs with different parity.
    bool evenUpper = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (evenUpper || oddUpper) {
        bool isUpper = evenUpper ? (c % 2 == 0) : (c % 2 == 1);
        if (upper && !isUpper)
            return c - 1;
        if (!upper && isUpper)
            return c + 1;
    }
    return c;
}

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string MapText(const std::string& text, bool upper) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        // Only one- and two-byte characters are mapped; everything else is copied.
        if (b >= 0xC2 && b <= 0xDF && i + 1 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            char32_t c = ((b & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
            Append(out, MapCase(c, upper));
            i += 2;
        } else if (b < 0x80) {
            Append(out, MapCase(b, upper));
            ++i;
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

} // namespace

std::string ToUpperText(const std::string& text) {
    return MapText(text, true);
}
std::string ToLowerText(const std::string& text) {
    return MapText(text, false);
}
