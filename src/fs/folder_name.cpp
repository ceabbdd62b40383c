#include "fs/folder_name.h"

#include <cstring>

// The byte before the name is compared as a byte, not as a character: on a double-byte system a
// folder whose name ends with a character of trail byte 0x5C followed by "db" (such as "表db" on
// code page 932) is spared, as it always was. Telling that trail byte from a separator would be
// sounder spelling, but it would remove such a folder, and a sparing test must never remove more
// than it did: keeping a folder too many is the safe side.
int EndsWithFolderName(const char* path, const char* name) {
    const size_t pathLength = strlen(path);
    const size_t nameLength = strlen(name);
    if (pathLength <= nameLength) {
        return 0;
    }
    const char* tail = path + pathLength - nameLength;
    return tail[-1] == '\\' && memcmp(tail, name, nameLength) == 0 ? 1 : 0;
}
