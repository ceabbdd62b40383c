// The Microsoft runtime's text functions that glibc lacks, with their documented behaviour.
#include "platform/posix/files/crt_api.h"

#include <strings.h>

#include <vector>

extern "C" {

// Writes at most count bytes; a result that does not fit is not terminated and gives -1.
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        return -1;
    }
    if (static_cast<size_t>(length) < count) {
        return vsnprintf(buffer, count, format, args);
    }
    std::vector<char> whole(static_cast<size_t>(length) + 1);
    vsnprintf(whole.data(), whole.size(), format, args);
    memcpy(buffer, whole.data(), count);
    return static_cast<size_t>(length) == count ? length : -1;
}

int _snprintf(char* buffer, size_t count, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = _vsnprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int _stricmp(const char* a, const char* b) {
    return strcasecmp(a, b);
}

int _strnicmp(const char* a, const char* b, size_t n) {
    return strncasecmp(a, b, n);
}

} // extern "C"
