// A text member of a record with a fixed capacity (terminator included) that,
// unlike a character array, allocates only what the text it holds needs. At most
// Capacity - 1 bytes are kept, cut at a UTF-8 character boundary. The text never
// holds a zero byte, so size() is always strlen(c_str()).
#pragma once

#include "CxText.h"

#include <cstddef>
#include <cstring>
#include <string>

template <size_t Capacity> class CxBoundedText {
    static_assert(Capacity >= 1, "a text needs room for its terminator");

public:
    static constexpr size_t kCapacity = Capacity;
    static constexpr size_t kMaxLength = Capacity - 1;

    CxBoundedText() = default;
    explicit CxBoundedText(const char* text) { Set(text); }

    const char* c_str() const { return m_text.c_str(); }
    bool empty() const { return m_text.empty(); }
    size_t size() const { return m_text.size(); }

    // A null text empties the member.
    void Set(const char* text) { Set(text, text ? std::strlen(text) : 0); }

    // Takes at most len bytes of text, up to its first zero byte, cut to the
    // capacity at a character boundary.
    void Set(const char* text, size_t len) {
        if (!text) {
            Clear();
            return;
        }
        len = strnlen(text, len);
        len = Utf8CutLength(text, len, kMaxLength);
        m_text.assign(text, len);
    }

    void Clear() {
        m_text.clear();
        m_text.shrink_to_fit();
    }

    bool operator==(const CxBoundedText& other) const { return m_text == other.m_text; }

private:
    std::string m_text;
};
