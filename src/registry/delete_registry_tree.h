// Deleting a registry key with every key below it.
#pragma once

#include "platform/win32api.h"

// Deletes root\path and every key below it, deepest first, each key's sub-keys from the last
// index to the first. Returns the Win32 status of the failed open when the key cannot be opened
// (ERROR_FILE_NOT_FOUND for a missing key: nothing is deleted), else that of deleting the key
// itself, which fails when a sub-key resisted. A null or empty path, or one of separators only,
// would name the root itself, and a path that may have been cut by formatting names some other
// key: both are refused with ERROR_INVALID_PARAMETER and touch nothing.
// Registry links are never followed: each key is opened as itself (REG_OPTION_OPEN_LINK), a link
// key is removed as a link (registry_link.h) and what it names is never entered, and a path
// that goes through a link above the tree's own key is refused with ERROR_ACCESS_DENIED.
LONG DeleteRegistryTree(HKEY root, const char* path);
