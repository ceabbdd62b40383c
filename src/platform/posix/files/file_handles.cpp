// CreateFileA and GetFileInformationByHandle: a handle holds a host descriptor opened with O_PATH,
// which names the file or folder itself (not its path) for as long as it is open, as a Windows
// handle does, and needs no right to read it.
#include "platform/posix/files/file_handles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <unordered_map>

#include "platform/posix/files/file_api.h"
#include "platform/posix/files/file_errors.h"
#include "platform/posix/files/file_ops.h"
#include "platform/posix/files/sharing.h"
#include "platform/posix/paths/held_folders.h"
#include "platform/posix/paths/path_map.h"
#include "platform/posix/paths/recent_lookup.h"
#include "platform/posix/core/test_controls.h"

namespace ovlayer {
namespace {

// Seconds from 1601-01-01, where FILETIME counts from, to 1970-01-01.
constexpr unsigned long long kEpochDifference = 11644473600ULL;

struct OpenedFile {
    int fd;
    std::string host;
    bool link; // the handle names a symbolic link itself
};

std::unordered_map<HANDLE, OpenedFile>& Files() {
    static std::unordered_map<HANDLE, OpenedFile> files;
    return files;
}

std::string Hex(DWORD value) {
    char text[16];
    snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

FILETIME FileTimeOf(const struct timespec& time) {
    const unsigned long long ticks =
        (static_cast<unsigned long long>(time.tv_sec) + kEpochDifference) * 10000000ULL +
        static_cast<unsigned long long>(time.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// Windows checks sharing only for handles that may read, write, run or delete the file: one
// opened for its attributes alone keeps nobody from deleting it.
bool TakesPartInSharing(DWORD access) {
    const DWORD kReadData = FILE_LIST_DIRECTORY; // FILE_READ_DATA, for a file
    const DWORD kExecute = 0x0020;
    const DWORD kGenericExecute = 0x20000000;
    const DWORD kGenericAll = 0x10000000;
    return (access & (GENERIC_READ | GENERIC_WRITE | kGenericExecute | kGenericAll | kReadData |
                      FILE_WRITE_DATA | FILE_APPEND_DATA | kExecute | DELETE)) != 0;
}

bool WantsWrite(DWORD access) {
    return (access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
}

// 0 when the entry may be opened as asked, else the status Windows gives. `itself`: the link is
// opened, not what it points at.
DWORD OpenStatus(const HostEntry& entry, DWORD access, DWORD flags, bool itself) {
    struct stat opened = entry.info;
    if (!itself && !entry.isRoot && S_ISLNK(entry.info.st_mode) &&
        stat(entry.host.c_str(), &opened) != 0) {
        return ERROR_FILE_NOT_FOUND; // a link whose target is gone names nothing to open
    }
    const DWORD attributes = itself ? AttributesOf(entry) : AttributesFromHost(opened, nullptr);
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder && (flags & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (!folder && WantsWrite(access) && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

HANDLE Fail(DWORD status) {
    SetLastError(status);
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool CloseFileHandle(HANDLE handle) {
    auto it = Files().find(handle);
    if (it == Files().end()) {
        return false;
    }
    Release(Holder::kHandle, reinterpret_cast<uintptr_t>(handle));
    ReleaseFolder(reinterpret_cast<uintptr_t>(handle));
    ForgetLookup(); // a kept look-up may name the descriptor, whose number is free once closed
    close(it->second.fd);
    Files().erase(it);
    delete static_cast<char*>(handle);
    return true;
}

} // namespace ovlayer

using namespace ovlayer;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD flags, HANDLE) {
    if (JournalRunning()) {
        Record("CreateFileA(" + std::string(path != nullptr ? path : "(null)") + ", " +
               Hex(access) + ", " + Hex(share) + ", " + std::to_string(disposition) + ", " +
               Hex(flags) + ")");
    }
    long injected;
    if (TakeInjectedFailure(Call::CreateFileA, &injected)) {
        return Fail(static_cast<DWORD>(injected));
    }
    if (disposition != OPEN_EXISTING) {
        return Fail(kErrorNotSupported);
    }
    HostEntry entry;
    WindowsPath parsed;
    DWORD status = FindHostEntry(path, &entry, &parsed);
    const bool itself = status == ERROR_SUCCESS && (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0 &&
                        !entry.isRoot && S_ISLNK(entry.info.st_mode);
    if (status == ERROR_SUCCESS) {
        status = OpenStatus(entry, access, flags, itself);
    }
    // A handle that refuses to share writing cannot be had while a writer holds the file.
    if (status == ERROR_SUCCESS && (share & FILE_SHARE_WRITE) == 0 && TakesPartInSharing(access) &&
        S_ISREG(entry.info.st_mode)) {
        status = WriteSharingStatus(entry.host.c_str());
    }
    if (status != ERROR_SUCCESS) {
        return Fail(status);
    }
    // Asked for the link itself, the open never follows one, even one put in the entry's place
    // since it was looked at: the handle then names that link.
    const bool noFollow = (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0 && !entry.isRoot;
    const int fd =
        openat(entry.dirFd, entry.At(), O_PATH | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0));
    struct stat opened;
    if (fd < 0 || fstat(fd, &opened) != 0) {
        const DWORD failed = StatusFromHostErrno(errno);
        if (fd >= 0) {
            close(fd);
        }
        return Fail(failed);
    }
    HANDLE handle = new char;
    Files()[handle] = OpenedFile{fd, entry.host, S_ISLNK(opened.st_mode)};
    if ((share & FILE_SHARE_DELETE) == 0 && TakesPartInSharing(access)) {
        HoldWithoutDeleteSharing(Holder::kHandle, reinterpret_cast<uintptr_t>(handle), opened);
        // Nobody may rename a folder held so: the paths below it are looked up from the handle.
        if (S_ISDIR(opened.st_mode)) {
            HoldFolder(reinterpret_cast<uintptr_t>(handle), fd, parsed);
        }
    }
    return handle;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info) {
    if (JournalRunning()) {
        Record("GetFileInformationByHandle()");
    }
    long injected;
    if (TakeInjectedFailure(Call::GetFileInformationByHandle, &injected)) {
        SetLastError(static_cast<DWORD>(injected));
        return FALSE;
    }
    auto it = Files().find(file);
    if (it == Files().end() || info == nullptr) {
        SetLastError(it == Files().end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat entry;
    if (fstat(it->second.fd, &entry) != 0) {
        SetLastError(StatusFromHostErrno(errno));
        return FALSE;
    }
    struct stat target;
    const bool hasTarget = it->second.link && stat(it->second.host.c_str(), &target) == 0;
    const bool folder = S_ISDIR(entry.st_mode);
    const unsigned long long size = folder ? 0 : static_cast<unsigned long long>(entry.st_size);
    const unsigned long long index = static_cast<unsigned long long>(entry.st_ino);
    info->dwFileAttributes = AttributesFromHost(entry, hasTarget ? &target : nullptr);
    info->ftCreationTime = FileTimeOf(entry.st_mtim);
    info->ftLastAccessTime = FileTimeOf(entry.st_atim);
    info->ftLastWriteTime = FileTimeOf(entry.st_mtim);
    info->dwVolumeSerialNumber = static_cast<DWORD>(entry.st_dev);
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
    info->nNumberOfLinks = folder ? 1 : static_cast<DWORD>(entry.st_nlink);
    info->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    info->nFileIndexLow = static_cast<DWORD>(index);
    return TRUE;
}

} // extern "C"
