#include "Base64.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of an alphabet character, -1 for "=" and anything else.
int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

bool Base64Encode(const unsigned char* src, size_t count, char* out, size_t outCapacity) {
    if (!src || !out || count == 0)
        return false;
    const size_t groups = count / 3 + (count % 3 != 0);
    if (groups > outCapacity / 4)
        return false;
    for (size_t g = 0; g < groups; ++g) {
        const size_t i = g * 3;
        const size_t have = count - i < 3 ? count - i : 3;
        const unsigned b0 = src[i];
        const unsigned b1 = have > 1 ? src[i + 1] : 0;
        const unsigned b2 = have > 2 ? src[i + 2] : 0;
        char* o = out + g * 4;
        o[0] = kAlphabet[b0 >> 2];
        o[1] = kAlphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
        o[2] = have > 1 ? kAlphabet[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=';
        o[3] = have > 2 ? kAlphabet[b2 & 0x3F] : '=';
    }
    return true;
}

bool Base64Decode(const char* text, unsigned char* out, size_t capacity, size_t* pCount) {
    size_t written = 0;
    if (text && out) {
        const char* p = text;
        bool ended = false;
        while (!ended && *p && written < capacity) {
            // Take up to four characters; the terminator ends the text, even
            // inside a group (an unpadded end reads as if padded).
            int s[4] = {-1, -1, -1, -1};
            int taken = 0;
            while (taken < 4 && p[taken]) {
                s[taken] = SextetOf(p[taken]);
                ++taken;
            }
            ended = taken < 4;
            p += taken;

            // "=" or a foreign character: in the first two places no byte, in
            // the third one byte, in the fourth two bytes.
            if (s[0] < 0 || s[1] < 0)
                continue;
            unsigned char bytes[3];
            int n = 1;
            bytes[0] = static_cast<unsigned char>((s[0] << 2) | (s[1] >> 4));
            if (s[2] >= 0) {
                bytes[1] = static_cast<unsigned char>(((s[1] & 0x0F) << 4) | (s[2] >> 2));
                n = 2;
                if (s[3] >= 0) {
                    bytes[2] = static_cast<unsigned char>(((s[2] & 0x03) << 6) | s[3]);
                    n = 3;
                }
            }
            for (int i = 0; i < n && written < capacity; ++i)
                out[written++] = bytes[i];
        }
    }
    if (pCount)
        *pCount = written;
    return written > 0;
}
