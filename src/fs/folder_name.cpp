#include "fs/folder_name.h"

#include "support/mb_text.h"

#include <cstring>

int EndsWithFolderName(const char* path, const char* name) {
    const size_t pathLength = strlen(path);
    const size_t nameLength = strlen(name);
    if (pathLength <= nameLength) {
        return 0;
    }
    const char* tail = path + pathLength - nameLength;
    // The separator must be a character of its own, not the trail byte of a double-byte one.
    const char* before = MbPrev(path, tail);
    return before == tail - 1 && *before == '\\' && memcmp(tail, name, nameLength) == 0 ? 1 : 0;
}
