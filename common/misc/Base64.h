// Base64 of RFC 4648 (standard alphabet, "=" padding, no line breaks).
#pragma once

#include <cstddef>

// Writes 4 characters for every group of up to 3 bytes, no terminator. True
// when at least one group was written; false when src or out is null, count is
// 0, or the text would not fit outCapacity.
bool Base64Encode(const unsigned char* src, size_t count, char* out, size_t outCapacity);

// Decodes text in groups of four until a group starts at the terminator; a
// terminator inside a group ends the text there. Writes at most capacity bytes,
// no terminator; *pCount (when given) receives their number. True when above 0.
bool Base64Decode(const char* text, unsigned char* out, size_t capacity, size_t* pCount);
