// What the files a run leaves for the administrator in the temporary folder share: the removal
// log and the undo files. Each is named in the folder GetTempPathA gives; the previous run's is
// kept under a second name; writing them never changes what the program does, so the caller's
// errno and last error are put back after every call that writes one.
#pragma once

#include "platform/win32api.h"

// Room for a temporary folder and a file name in it.
constexpr size_t kRunFilePathRoom = MAX_PATH + 32;

// The full name of `name` in the temporary folder; false (and `path` empty) when the folder is
// not known or its name is too long.
bool RunFilePath(const char* name, char (&path)[kRunFilePathRoom]);

// The previous run's file at `path` becomes `previousName` in the same folder, replacing the one
// kept before; only a file is moved, never a folder of the name.
void KeepPreviousRun(const char* path, const char* previousName);

// The name both files write a key's root by ("HKEY_CLASSES_ROOT" and the like); null for a key
// that is no predefined root.
const char* PredefinedRootName(HKEY root);

// The caller's errno and last error, put back when the object goes.
class CallerErrors {
public:
    CallerErrors() : errno_(errno), lastError_(GetLastError()) {}
    ~CallerErrors() {
        errno = errno_;
        SetLastError(lastError_);
    }
    CallerErrors(const CallerErrors&) = delete;
    CallerErrors& operator=(const CallerErrors&) = delete;

private:
    int errno_;
    DWORD lastError_;
};
