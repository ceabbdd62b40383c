// What a path names on disk, whatever its spelling: two paths that reach the same file or folder
// (through a link or junction, a short 8.3 name, another letter case) have the same identity.
#pragma once

#include "platform/win32api.h"

struct DiskIdentity {
    DWORD volumeSerial;
    DWORD indexHigh;
    DWORD indexLow;
};

// The identity of what `path` names, links followed: the volume serial number and file index
// GetFileInformationByHandle gives for it. False when it cannot be opened (missing, refused).
bool IdentifyOnDisk(const char* path, DiskIdentity* out);

bool SameOnDisk(const DiskIdentity& a, const DiskIdentity& b);

// The identity GetFileInformationByHandle gave.
DiskIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info);
