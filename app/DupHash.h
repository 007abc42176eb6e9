// Hashes for the keys of the matching engine. Equal values under the text
// comparison rules hash alike: a text folds a to z onto A to Z unless the
// comparison is case-sensitive, and 0 and -0 are one number. A hash only
// narrows the search; every candidate is compared in full before it counts.
#pragma once

#include <cstdint>
#include <cstring>

inline uint64_t DupMix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

inline uint32_t DupHashText(const char* text, bool fold) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        unsigned char c = *p;
        if (fold && c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        h = (h ^ c) * 0x100000001b3ULL;
    }
    return static_cast<uint32_t>(DupMix(h) >> 32);
}

// Adds one exactly compared value to a running hash.
inline uint64_t DupHashValue(uint64_t h, uint64_t value) {
    return DupMix(h ^ DupMix(value + 0x9e3779b97f4a7c15ULL));
}

// A number's bits, with -0 taken as 0 (they compare equal). Not for NaN.
inline uint64_t DupNumberBits(double value) {
    if (value == 0)
        value = 0;
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}
