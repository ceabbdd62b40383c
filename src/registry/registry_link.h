// Registry link keys and the deletions that must not follow them. A link key (made with
// REG_OPTION_CREATE_LINK) stands for the key its REG_LINK value "SymbolicLinkValue" names; any
// open follows it unless asked for the link itself (REG_OPTION_OPEN_LINK), and RegDeleteKeyA,
// which opens by name, deletes what it names and leaves the link. A standard user may make one
// in his own hive, pointing anywhere he can read.
#pragma once

#include "platform/win32api.h"
#include "support/string.h"

// True when `key`, opened with REG_OPTION_OPEN_LINK, holds a REG_LINK "SymbolicLinkValue": a
// link key, or a plain key made to look like one, which is taken for a link all the same so
// that nothing it names is ever reached.
bool IsRegistryLink(HKEY key);

// Removes root\path, a link key, itself and never what it names: through a handle of the link
// (NtDeleteKey). Where the system cannot remove it alone, it stays, and the refusal is logged
// with its rule. ERROR_SUCCESS, or ERROR_ACCESS_DENIED when the link stays.
LONG RemoveRegistryLink(HKEY root, const char* path);

// True when a key above the last name of `path` is a link key: a deletion by that path would
// follow it. `link`, when given, then names that key (its path below `root`).
bool LinkAmongAncestors(HKEY root, const char* path, String* link = nullptr);
