// A copy allocated with new that reports running out of memory as a null
// pointer, for code that answers failures with null rather than exceptions.
#pragma once

#include <new>

// A copy of src allocated with new; null when memory ran out.
template <class T> T* NewCopy(const T& src) {
    try {
        return new T(src);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
