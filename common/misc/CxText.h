// Bounded copies of zero-terminated 8-bit texts. Texts are UTF-8; every cut to a
// capacity falls on a character boundary, never inside a character.
#pragma once

#include <cstddef>

// Length of the longest prefix of s[0..len) that is at most maxBytes long and
// does not end inside a UTF-8 character.
size_t Utf8CutLength(const char* s, size_t len, size_t maxBytes);

// Length of the longest prefix of s[0..len) that does not end with an
// incomplete UTF-8 character (for a text whose continuation is not at hand).
size_t Utf8CompletePrefix(const char* s, size_t len);

// Copies src into dst, whose capacity (terminator included) is cap: at most
// cap - 1 bytes, cut at a character boundary, always terminated. A null src
// gives an empty text; a null dst or a cap of 0 does nothing.
void CopyText(char* dst, size_t cap, const char* src);

template <size_t N> inline void CopyText(char (&dst)[N], const char* src) {
    CopyText(dst, N, src);
}

// The longest path that a path buffer of 260 characters holds.
constexpr size_t kMaxPathLength = 259;

// Copies src whole into dst (capacity cap, terminator included) when it fits;
// otherwise empties dst and returns false. For paths and file names, which a
// cut would turn into the name of another file. A null src gives an empty text.
bool CopyWholeText(char* dst, size_t cap, const char* src);

template <size_t N> inline bool CopyWholeText(char (&dst)[N], const char* src) {
    return CopyWholeText(dst, N, src);
}

// Appends src to the text in dst under the same rules.
void AppendText(char* dst, size_t cap, const char* src);

template <size_t N> inline void AppendText(char (&dst)[N], const char* src) {
    AppendText(dst, N, src);
}
