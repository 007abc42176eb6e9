#include "CxText.h"

#include <cstring>

size_t Utf8CutLength(const char* s, size_t len, size_t maxBytes) {
    if (!s || len <= maxBytes)
        return s ? len : 0;
    size_t cut = maxBytes;
    // Step back while the first byte left out is a continuation byte (10xxxxxx):
    // the cut would otherwise split that character.
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

size_t Utf8CompletePrefix(const char* s, size_t len) {
    if (!s || len == 0)
        return 0;
    // Find the start of the last character: at most three continuation bytes back.
    size_t start = len;
    int back = 0;
    while (start > 0 && back < 4 && (static_cast<unsigned char>(s[start - 1]) & 0xC0) == 0x80) {
        --start;
        ++back;
    }
    if (start == 0)
        return len; // only continuation bytes: not UTF-8 we can judge; keep them
    unsigned char lead = static_cast<unsigned char>(s[start - 1]);
    size_t need = 1;
    if ((lead & 0xE0) == 0xC0)
        need = 2;
    else if ((lead & 0xF0) == 0xE0)
        need = 3;
    else if ((lead & 0xF8) == 0xF0)
        need = 4;
    size_t have = len - (start - 1);
    return have < need ? start - 1 : len;
}

void CopyText(char* dst, size_t cap, const char* src) {
    if (!dst || cap == 0)
        return;
    if (!src) {
        dst[0] = '\0';
        return;
    }
    size_t n = Utf8CutLength(src, std::strlen(src), cap - 1);
    std::memmove(dst, src, n);
    dst[n] = '\0';
}

bool CopyWholeText(char* dst, size_t cap, const char* src) {
    if (!dst || cap == 0)
        return false;
    const size_t n = src ? std::strlen(src) : 0;
    if (n >= cap) {
        dst[0] = '\0';
        return false;
    }
    std::memmove(dst, src ? src : "", n);
    dst[n] = '\0';
    return true;
}

void AppendText(char* dst, size_t cap, const char* src) {
    if (!dst || cap == 0 || !src)
        return;
    size_t used = strnlen(dst, cap - 1);
    CopyText(dst + used, cap - used, src);
}
