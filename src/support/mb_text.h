// Stepping through and searching 8-bit texts without splitting double-byte characters. On a
// single-byte system each function does exactly what its runtime counterpart does.
#pragma once

#include <cstddef>

// Non-zero on a double-byte system; asked of the system once, on first use.
int IsDbcsEnabled();

const char* MbNext(const char* p);
const char* MbPrev(const char* start, const char* current);
const char* MbFindChar(const char* text, int c);
const char* MbFindLastChar(const char* text, int c);
const char* MbFindText(const char* text, const char* pattern);

// strncpy that always terminates: at most n - 1 bytes are copied. Writes nothing when dst, src
// or n is zero.
char* CopyBounded(char* dst, const char* src, size_t n);

inline char* MbNext(char* p) {
    return const_cast<char*>(MbNext(static_cast<const char*>(p)));
}
inline char* MbPrev(char* start, char* current) {
    return const_cast<char*>(MbPrev(static_cast<const char*>(start), current));
}
inline char* MbFindChar(char* text, int c) {
    return const_cast<char*>(MbFindChar(static_cast<const char*>(text), c));
}
inline char* MbFindLastChar(char* text, int c) {
    return const_cast<char*>(MbFindLastChar(static_cast<const char*>(text), c));
}
inline char* MbFindText(char* text, const char* pattern) {
    return const_cast<char*>(MbFindText(static_cast<const char*>(text), pattern));
}
