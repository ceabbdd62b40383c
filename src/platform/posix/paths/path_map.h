// Windows paths on the machine folder. "X:\a\b" names a\b inside the folder of drive X (see
// drives.h); each component is taken by its exact name when the host has it and otherwise matched
// ignoring letter case, as Windows does. Paths are taken apart as Windows takes them apart: "\"
// and "/" both separate, "." and ".." are resolved on the text and never climb above a drive's
// root, a component loses one trailing period ("a.\b" is "a\b") and the last one every trailing
// period and space; a path without a drive or a leading separator is relative to the layer's
// current folder. Host file names are the path's bytes in the machine's code page, unconverted.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/posix/core/win32_types.h"

namespace ovlayer {

struct WindowsPath {
    char drive = 0;                 // upper-case letter
    std::vector<std::string> parts; // the components below the drive's root
    bool trailingSeparator = false; // the text ended with "\" or "/"
    std::string Text() const;       // "C:\a\b", or "C:\" for a root
};

// 0, ERROR_PATH_NOT_FOUND (an empty path), ERROR_BAD_NETPATH (UNC paths: the machine has no
// network) or ERROR_INVALID_NAME (wildcards, other characters Windows refuses in a name).
DWORD ParseWindowsPath(const char* text, WindowsPath* out);

// Where a path lies in the machine folder.
struct HostEntry {
    std::string host; // the host path; for a missing last component, where it would be made
    // The same entry as a path relative to a descriptor: a held folder's (held_folders.h) and the
    // rest of the path below it, or AT_FDCWD and `host`. The calls on the entry take this form.
    int dirFd = AT_FDCWD;
    std::string below;
    const char* At() const { return dirFd == AT_FDCWD ? host.c_str() : below.c_str(); }
    bool exists = false;
    bool isRoot = false;
    struct stat info {}; // lstat of the entry (stat for a drive's root), when it exists
};

// 0 when the entry exists; ERROR_FILE_NOT_FOUND when only the last component is missing (`host`
// then names it as given); ERROR_PATH_NOT_FOUND when the drive or a folder on the way is missing
// or the text ends with a separator after a file; or a status of ParseWindowsPath. `parsed`, when
// given, receives the path taken apart.
DWORD FindHostEntry(const char* text, HostEntry* out, WindowsPath* parsed = nullptr);

// True for a folder, or a symbolic link to one.
bool IsFolderEntry(const HostEntry& entry);

// The layer's current folder, a full Windows path. It starts as the host's working folder when
// that lies inside a drive, else as C:\windows.
const std::string& CurrentFolder();
void SetCurrentFolder(const std::string& fullPath);

// Bytes in the character at p (2 for a lead byte and its trail byte in a double-byte code page).
size_t CharBytes(const char* p);

// Names equal ignoring the case of the letters of single-byte characters of the machine's code
// page ("JOSÉ" is "josé" on code page 1252); the bytes of double-byte characters compare
// exactly.
bool SameNameIgnoringCase(const char* a, const char* b);

} // namespace ovlayer
