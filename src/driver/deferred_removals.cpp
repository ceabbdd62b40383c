#include "driver/deferred_removals.h"

#include "support/mb_text.h"
#include "support/string.h"

#include <new>

// Constant-initialised (all members 0), so they are ready before any constructor runs.
PointerArray deferredFiles;
PointerArray deferredFolders;

void DeferRemoval(PointerArray& list, const char* path) {
    String* text = new (std::nothrow) String;
    if (text == nullptr) {
        return;
    }
    *text = path;
    list.SetAtGrow(list.GetCount(), text);
}

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A name of periods and blanks alone, which Windows reads as ".." when it starts with two
// periods and as "." (or nothing) otherwise.
bool IsDotsName(const char* name, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (name[i] != '.' && name[i] != ' ') {
            return false;
        }
    }
    return true;
}

} // namespace

bool ClimbsOutOfItsFolder(const char* path) {
    if (path == nullptr) {
        return false;
    }
    const bool drive = path[0] != '\0' && path[1] == ':';
    if ((drive && IsSeparator(path[2])) || (IsSeparator(path[0]) && IsSeparator(path[1]))) {
        return false;
    }
    long depth = 0;
    const char* name = drive ? path + 2 : path;
    while (*name != '\0') {
        const char* end = name;
        while (*end != '\0' && !IsSeparator(*end)) {
            end = MbNext(end);
        }
        const size_t length = static_cast<size_t>(end - name);
        if (!IsDotsName(name, length)) {
            ++depth;
        } else if (length >= 2 && name[0] == '.' && name[1] == '.' && --depth < 0) {
            return true;
        }
        name = *end != '\0' ? end + 1 : end;
    }
    return false;
}
