// A folder held open while a removal works in it. The handle is opened with backup semantics (so
// that a folder opens at all), for listing (a handle for attributes alone takes no part in the
// sharing rule), sharing reading and writing but not deletion, and without following a reparse
// point. While it is open no other process can rename, remove or replace the folder: the paths
// below it name what the listing saw. A folder that is a link is held as the link itself.
#pragma once

#include "fs/disk_identity.h"
#include "platform/win32api.h"

class HeldFolder {
public:
    // Opens `path`; a null path holds nothing.
    explicit HeldFolder(const char* path);
    ~HeldFolder();
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    // A symbolic link or junction: removed itself, never entered.
    bool IsLink() const { return (attributes_ & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    // What the held folder is on disk, for the protected-folder judgement; null when nothing is
    // held or the hold is a link, which is judged by what its path leads to.
    const DiskIdentity* Identity() const { return IsOpen() && !IsLink() ? &identity_ : nullptr; }
    // Lets the folder go, just before its own removal (the hold would refuse that too).
    void Close();

private:
    HANDLE handle_;
    DWORD attributes_;
    DiskIdentity identity_;
};

// Whether the folder at `path`, held by `held`, is a link to be removed itself and never entered:
// the held handle shows a reparse point, or the path's attributes do. Either suffices: a folder
// swapped for a link after it was opened is not entered, and neither is a link the platform
// opened through to its target.
bool IsLinkToRemoveItself(const HeldFolder& held, const char* path);
