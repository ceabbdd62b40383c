// The kernel32 file functions on the machine folder (FindFirstFileA and its kin are in
// find_files.cpp). Each one writes a journal line, honours an injected failure, and reports a
// failure through the last error with the status Windows (and Wine) gives.
#include "platform/posix/files/file_api.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix/paths/drives.h"
#include "platform/posix/files/file_errors.h"
#include "platform/posix/files/file_ops.h"
#include "platform/posix/core/machine.h"
#include "platform/posix/paths/path_map.h"
#include "platform/posix/core/test_controls.h"

namespace {

using namespace ovlayer;

// The geometry reported for every drive: 4096-byte clusters of 512-byte sectors.
constexpr DWORD kBytesPerSector = 512;
constexpr DWORD kSectorsPerCluster = 8;

bool Injected(Call call) {
    long status;
    if (!TakeInjectedFailure(call, &status)) {
        return false;
    }
    SetLastError(static_cast<DWORD>(status));
    return true;
}

BOOL Report(DWORD status) {
    if (status != ERROR_SUCCESS) {
        SetLastError(status);
        return FALSE;
    }
    return TRUE;
}

// Returns the length without the terminator when the text fits, else the size it needs.
UINT CopyFolderText(const char* text, LPSTR buffer, UINT size) {
    const UINT length = static_cast<UINT>(strlen(text));
    if (buffer == nullptr || size <= length) {
        return length + 1;
    }
    memcpy(buffer, text, length + 1);
    return length;
}

DWORD ClampToDword(unsigned long long value) {
    return value > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<DWORD>(value);
}

// The drive of a path that names an existing folder (Wine takes any folder, not only a root).
char FolderDrive(LPCSTR path, HostEntry* folder, DWORD* status) {
    WindowsPath parsed;
    *status = FindHostEntry(path != nullptr ? path : ".", folder, &parsed);
    if (*status == ERROR_SUCCESS && !IsFolderEntry(*folder)) {
        *status = kErrorDirectory;
    }
    return *status == ERROR_SUCCESS ? parsed.drive : 0;
}

} // namespace

extern "C" {

BOOL WINAPI DeleteFileA(LPCSTR path) {
    Record("DeleteFileA(" + JournalText(path) + ")");
    if (Injected(Call::DeleteFileA)) {
        return FALSE;
    }
    return Report(DeleteFileOp(path));
}

UINT WINAPI GetDriveTypeA(LPCSTR rootPath) {
    Record("GetDriveTypeA(" + JournalText(rootPath) + ")");
    if (Injected(Call::GetDriveTypeA)) {
        return DRIVE_UNKNOWN;
    }
    if (rootPath != nullptr && *rootPath == '\0') {
        return DRIVE_NO_ROOT_DIR;
    }
    if (rootPath != nullptr && rootPath[0] != '\0' && rootPath[1] == ':' &&
        (rootPath[2] == '\0' ||
         ((rootPath[2] == '\\' || rootPath[2] == '/') && rootPath[3] == '\0'))) {
        return DriveTypeOf(rootPath[0]);
    }
    HostEntry folder;
    DWORD status;
    const char drive = FolderDrive(rootPath, &folder, &status);
    return drive != 0 ? DriveTypeOf(drive) : DRIVE_NO_ROOT_DIR;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                              LPDWORD freeClusters, LPDWORD totalClusters) {
    Record("GetDiskFreeSpaceA(" + JournalText(rootPath) + ")");
    if (Injected(Call::GetDiskFreeSpaceA)) {
        return FALSE;
    }
    HostEntry folder;
    DWORD status;
    const char drive = FolderDrive(rootPath, &folder, &status);
    if (drive == 0) {
        return Report(status);
    }
    struct statvfs volume;
    if (statvfs(folder.host.c_str(), &volume) != 0) {
        return Report(StatusFromHostErrno(errno));
    }
    const unsigned long long cluster = kBytesPerSector * kSectorsPerCluster;
    // A disc in a CD-ROM drive has no room to write.
    const unsigned long long available =
        DriveTypeOf(drive) == DRIVE_CDROM ? 0 : volume.f_bavail * volume.f_frsize;
    if (sectorsPerCluster != nullptr) {
        *sectorsPerCluster = kSectorsPerCluster;
    }
    if (bytesPerSector != nullptr) {
        *bytesPerSector = kBytesPerSector;
    }
    if (freeClusters != nullptr) {
        *freeClusters = ClampToDword(available / cluster);
    }
    if (totalClusters != nullptr) {
        *totalClusters = ClampToDword(volume.f_blocks * volume.f_frsize / cluster);
    }
    return TRUE;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    Record("GetWindowsDirectoryA(" + std::to_string(size) + ")");
    if (Injected(Call::GetWindowsDirectoryA)) {
        return 0;
    }
    return CopyFolderText(kWindowsFolder, buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    Record("GetSystemDirectoryA(" + std::to_string(size) + ")");
    if (Injected(Call::GetSystemDirectoryA)) {
        return 0;
    }
    return CopyFolderText(kSystemFolder, buffer, size);
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
    Record("GetFileAttributesA(" + JournalText(path) + ")");
    if (Injected(Call::GetFileAttributesA)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const DWORD status = GetAttributesOp(path, &attributes);
    Report(status);
    return status == ERROR_SUCCESS ? attributes : INVALID_FILE_ATTRIBUTES;
}

BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
    Record("SetFileAttributesA(" + JournalText(path) + ", " + JournalHex(attributes, false) + ")");
    if (Injected(Call::SetFileAttributesA)) {
        return FALSE;
    }
    return Report(SetAttributesOp(path, attributes));
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    Record("CreateDirectoryA(" + JournalText(path) + ")");
    if (Injected(Call::CreateDirectoryA)) {
        return FALSE;
    }
    return Report(CreateDirectoryOp(path));
}

BOOL WINAPI CopyFileA(LPCSTR existingPath, LPCSTR newPath, BOOL failIfExists) {
    Record("CopyFileA(" + JournalText(existingPath) + ", " + JournalText(newPath) + ", " +
           (failIfExists ? "1" : "0") + ")");
    if (Injected(Call::CopyFileA)) {
        return FALSE;
    }
    return Report(CopyFileOp(existingPath, newPath, failIfExists != FALSE));
}

} // extern "C"
