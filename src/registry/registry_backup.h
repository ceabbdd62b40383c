// The registry keys a deletion is about to take, saved first into the undo file
// (support/undo_file.h) as REGEDIT4 text that `regedit /S` imports: the key, then every key below
// it, parents before children, each with all its values written exactly (types, bytes,
// terminators and zeros inside them as stored; names and texts as the bytes they are in the
// system code page). Keys below HKEY_CLASSES_ROOT are saved under that root, as the program sees
// them.
//
// A key goes into the file whole or not at all: one whose values cannot all be read is logged and
// left out (the keys below it are still saved). Nothing here changes what the deletion does, and
// nothing is read while no undo file is open.
#pragma once

#include "platform/win32api.h"
#include "support/string.h"

// Saves root\path with everything below it. A missing key saves nothing.
void BackUpRegistryTree(HKEY root, const char* path);

// Saves root\parent\name with everything below it, for a deletion of the sub-key `name` of the
// key root\parent. Nothing when root is an open key rather than a predefined root: that is a level
// of a deletion whose top was saved already.
void BackUpRegistrySubKey(HKEY root, const String& parent, const char* name);

// While one lives, nothing is saved: the rights probe deletes a key it made itself.
class RegistryBackupPause {
public:
    RegistryBackupPause();
    ~RegistryBackupPause();
    RegistryBackupPause(const RegistryBackupPause&) = delete;
    RegistryBackupPause& operator=(const RegistryBackupPause&) = delete;
};
