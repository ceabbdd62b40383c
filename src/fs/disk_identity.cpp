#include "fs/disk_identity.h"

bool IdentifyOnDisk(const char* path, DiskIdentity* out) {
    // Backup semantics let a folder be opened; the attributes are all that is read, and every
    // sharing mode is granted so that no other program is kept from its files meanwhile.
    const HANDLE handle = CreateFileA(path, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (known) {
        *out = IdentityOf(info);
    }
    return known;
}

DiskIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return DiskIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

bool SameOnDisk(const DiskIdentity& a, const DiskIdentity& b) {
    return a.volumeSerial == b.volumeSerial && a.indexHigh == b.indexHigh &&
           a.indexLow == b.indexLow;
}
