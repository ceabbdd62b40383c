#include "support/mb_text.h"

#include "platform/win32api.h"

#include <cstring>

namespace {

// -1 until the system has been asked; the setting is read once per run.
int dbcsFlag = -1;

bool IsSingleByteCharacter(const char* p, const char* next) {
    return next == p + 1;
}

} // namespace

int IsDbcsEnabled() {
    if (dbcsFlag == -1) {
        dbcsFlag = GetSystemMetrics(SM_DBCSENABLED);
    }
    return dbcsFlag;
}

const char* MbNext(const char* p) {
    if (p == nullptr) {
        return nullptr;
    }
    if (!IsDbcsEnabled()) {
        return p + 1;
    }
    const char* q = CharNextA(p);
    return q == p ? p + 1 : q;
}

const char* MbPrev(const char* start, const char* current) {
    if (current == nullptr) {
        return nullptr;
    }
    if (!IsDbcsEnabled()) {
        return current - 1;
    }
    const char* q = CharPrevA(start, current);
    return q == current ? current - 1 : q;
}

const char* MbFindChar(const char* text, int c) {
    if (!IsDbcsEnabled()) {
        return strchr(text, c);
    }
    if (text == nullptr) {
        return nullptr;
    }
    for (const char* p = text; *p != '\0';) {
        const char* next = MbNext(p);
        if (IsSingleByteCharacter(p, next) && *p == static_cast<char>(c)) {
            return p;
        }
        p = next;
    }
    return nullptr;
}

const char* MbFindLastChar(const char* text, int c) {
    if (!IsDbcsEnabled()) {
        return strrchr(text, c);
    }
    if (text == nullptr) {
        return nullptr;
    }
    const char* last = nullptr;
    for (const char* p = text; *p != '\0';) {
        const char* next = MbNext(p);
        if (IsSingleByteCharacter(p, next) && *p == static_cast<char>(c)) {
            last = p;
        }
        p = next;
    }
    return last;
}

const char* MbFindText(const char* text, const char* pattern) {
    if (!IsDbcsEnabled()) {
        return strstr(text, pattern);
    }
    if (text == nullptr || pattern == nullptr) {
        return nullptr;
    }
    const size_t n = strlen(pattern);
    for (const char* p = text; *p != '\0'; p = MbNext(p)) {
        if (strncmp(p, pattern, n) != 0) {
            continue;
        }
        // The match counts only when it also ends on a character boundary.
        const char* end = p;
        while (end < p + n) {
            end = MbNext(end);
        }
        if (end == p + n) {
            return p;
        }
    }
    return nullptr;
}

char* CopyBounded(char* dst, const char* src, size_t n) {
    if (dst != nullptr && src != nullptr && n != 0) {
        strncpy(dst, src, n);
        dst[n - 1] = '\0';
    }
    return dst;
}
