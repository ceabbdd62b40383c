// The file operations behind both the Win32 functions and the runtime's: each returns the Win32
// status Windows gives (0 on success). The public entry points add the journal, the injected
// failures and the error reporting of their own family (last error or errno).
#pragma once

#include <sys/stat.h>

#include "platform/posix/paths/path_map.h"
#include "platform/posix/core/win32_types.h"

namespace ovlayer {

// The attributes Windows reports for an entry: a folder, a file (archive, read-only when the
// owner may not write it), or a reparse point for a symbolic link, a folder one when its target
// is a folder. `target` is the stat of a link's target, null when it has none.
DWORD AttributesFromHost(const struct stat& entry, const struct stat* target);
DWORD AttributesOf(const HostEntry& entry);

DWORD GetAttributesOp(const char* path, DWORD* attributes);
// Only the read-only attribute is kept, and only on files: a folder stays writable, as under
// Wine. Read-only clears every write permission; writable gives the owner write permission. A
// symbolic link is left as it is, and so is what it points at (Windows changes a link's own
// attributes, never its target's).
DWORD SetAttributesOp(const char* path, DWORD attributes);
// Refuses folders and read-only files with ERROR_ACCESS_DENIED, a file held open without delete
// sharing with ERROR_SHARING_VIOLATION (as the removal of a folder and the move of either are); a
// symbolic link to a file is removed itself, its target stays.
DWORD DeleteFileOp(const char* path);
// Removes an empty folder, or a symbolic link to a folder itself (never what it points at).
DWORD RemoveDirectoryOp(const char* path);
DWORD CreateDirectoryOp(const char* path);
// Moves a file or folder; an existing target is refused (ERROR_ALREADY_EXISTS) unless it is the
// source itself under another letter case.
DWORD MoveFileOp(const char* from, const char* to);
// Copies a file's bytes and its read-only attribute. A folder on either side, or a read-only
// target, is refused with ERROR_ACCESS_DENIED; an existing target with ERROR_FILE_EXISTS when
// asked to fail on one.
DWORD CopyFileOp(const char* from, const char* to, bool failIfExists);
DWORD SetCurrentFolderOp(const char* path);

} // namespace ovlayer
