#include "platform/posix/files/file_ops.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/posix/files/file_errors.h"
#include "platform/posix/files/sharing.h"
#include "platform/posix/paths/recent_lookup.h"

namespace ovlayer {
namespace {

DWORD HostStatus() {
    return StatusFromHostErrno(errno);
}

bool IsReadOnly(const struct stat& info) {
    return (info.st_mode & S_IWUSR) == 0;
}

// SetAttributesOp on an entry found; a changed mode is written back to `found`.
DWORD SetHostAttributes(HostEntry* found, DWORD attributes) {
    HostEntry& entry = *found;
    // A link's attributes are its own, as on Windows: what it points at is never changed. The
    // host keeps no mode of a link's own, so there is nothing to change on it either.
    if (S_ISLNK(entry.info.st_mode)) {
        return ERROR_SUCCESS;
    }
    struct stat info = entry.info;
    if (entry.isRoot && stat(entry.host.c_str(), &info) != 0) {
        return HostStatus();
    }
    if (S_ISDIR(info.st_mode)) {
        return ERROR_SUCCESS;
    }
    const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) != 0
                            ? info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)
                            : info.st_mode | S_IWUSR;
    if ((mode & 07777) != (info.st_mode & 07777)) {
        if (fchmodat(entry.dirFd, entry.At(), mode & 07777, 0) != 0) {
            return HostStatus();
        }
        entry.info.st_mode = (info.st_mode & ~07777) | (mode & 07777);
    }
    return ERROR_SUCCESS;
}

} // namespace

DWORD AttributesFromHost(const struct stat& entry, const struct stat* target) {
    if (S_ISLNK(entry.st_mode)) {
        const bool folder = target != nullptr && S_ISDIR(target->st_mode);
        return FILE_ATTRIBUTE_REPARSE_POINT |
               (folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    }
    if (S_ISDIR(entry.st_mode)) {
        return FILE_ATTRIBUTE_DIRECTORY;
    }
    return FILE_ATTRIBUTE_ARCHIVE | (IsReadOnly(entry) ? FILE_ATTRIBUTE_READONLY : 0);
}

DWORD AttributesOf(const HostEntry& entry) {
    if (entry.isRoot) {
        return FILE_ATTRIBUTE_DIRECTORY;
    }
    struct stat target;
    const bool hasTarget = S_ISLNK(entry.info.st_mode) && stat(entry.host.c_str(), &target) == 0;
    return AttributesFromHost(entry.info, hasTarget ? &target : nullptr);
}

DWORD GetAttributesOp(const char* path, DWORD* attributes) {
    HostEntry entry;
    const DWORD status = FindHostEntry(path, &entry);
    if (status == ERROR_SUCCESS) {
        *attributes = AttributesOf(entry);
    }
    return status;
}

DWORD SetAttributesOp(const char* path, DWORD attributes) {
    HostEntry entry;
    const DWORD status = FindHostEntryAfter(LookupSource::kListing, path, &entry);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const DWORD done = SetHostAttributes(&entry, attributes);
    if (done == ERROR_SUCCESS) {
        KeepLookup(LookupSource::kAttributes, path, std::move(entry));
    }
    return done;
}

DWORD DeleteFileOp(const char* path) {
    HostEntry entry;
    const DWORD status = FindHostEntryAfter(LookupSource::kAttributes, path, &entry);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (IsFolderEntry(entry) || (!S_ISLNK(entry.info.st_mode) && IsReadOnly(entry.info))) {
        return ERROR_ACCESS_DENIED;
    }
    if (const DWORD held = DeleteSharingStatus(entry.info)) {
        return held;
    }
    return unlinkat(entry.dirFd, entry.At(), 0) == 0 ? ERROR_SUCCESS : HostStatus();
}

DWORD RemoveDirectoryOp(const char* path) {
    HostEntry entry;
    const DWORD status = FindHostEntry(path, &entry);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (entry.isRoot) {
        return ERROR_ACCESS_DENIED;
    }
    if (!IsFolderEntry(entry)) {
        return kErrorDirectory;
    }
    if (S_ISLNK(entry.info.st_mode)) {
        return unlinkat(entry.dirFd, entry.At(), 0) == 0 ? ERROR_SUCCESS : HostStatus();
    }
    if (const DWORD held = DeleteSharingStatus(entry.info)) {
        return held;
    }
    if (unlinkat(entry.dirFd, entry.At(), AT_REMOVEDIR) == 0) {
        return ERROR_SUCCESS;
    }
    return StatusFromHostRmdirErrno(errno);
}

DWORD CreateDirectoryOp(const char* path) {
    HostEntry entry;
    const DWORD status = FindHostEntry(path, &entry);
    if (status == ERROR_SUCCESS) {
        return ERROR_ALREADY_EXISTS;
    }
    if (status != ERROR_FILE_NOT_FOUND) {
        return status;
    }
    return mkdir(entry.host.c_str(), 0755) == 0 ? ERROR_SUCCESS : HostStatus();
}

DWORD MoveFileOp(const char* from, const char* to) {
    HostEntry source;
    DWORD status = FindHostEntry(from, &source);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (source.isRoot) {
        return ERROR_ACCESS_DENIED;
    }
    if (const DWORD held = DeleteSharingStatus(source.info)) {
        return held;
    }
    HostEntry target;
    WindowsPath targetPath;
    status = FindHostEntry(to, &target, &targetPath);
    std::string destination = target.host;
    if (status == ERROR_SUCCESS) {
        if (target.isRoot || target.host != source.host) {
            return ERROR_ALREADY_EXISTS;
        }
        // The source itself under another letter case: the new spelling is the one asked for.
        destination = target.host.substr(0, target.host.rfind('/') + 1) + targetPath.parts.back();
    } else if (status != ERROR_FILE_NOT_FOUND) {
        return status;
    }
    return rename(source.host.c_str(), destination.c_str()) == 0 ? ERROR_SUCCESS : HostStatus();
}

DWORD CopyFileOp(const char* from, const char* to, bool failIfExists) {
    HostEntry source;
    DWORD status = FindHostEntry(from, &source);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (IsFolderEntry(source)) {
        return ERROR_ACCESS_DENIED;
    }
    HostEntry target;
    status = FindHostEntry(to, &target);
    if (status == ERROR_SUCCESS) {
        if (IsFolderEntry(target) || IsReadOnly(target.info)) {
            return ERROR_ACCESS_DENIED;
        }
        if (failIfExists) {
            return ERROR_FILE_EXISTS;
        }
    } else if (status != ERROR_FILE_NOT_FOUND) {
        return status;
    }
    const int in = open(source.host.c_str(), O_RDONLY);
    if (in < 0) {
        return HostStatus();
    }
    // The copy has the source's read-only attribute, as on Windows; it is set once the data is in.
    const int out = open(target.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        status = HostStatus();
        close(in);
        return status;
    }
    char block[65536];
    ssize_t got;
    while ((got = read(in, block, sizeof block)) > 0) {
        for (ssize_t put = 0; put < got;) {
            const ssize_t written = write(out, block + put, static_cast<size_t>(got - put));
            if (written < 0) {
                got = -1;
                break;
            }
            put += written;
        }
        if (got < 0) {
            break;
        }
    }
    status = got < 0 ? HostStatus() : ERROR_SUCCESS;
    close(in);
    if (close(out) != 0 && status == ERROR_SUCCESS) {
        status = HostStatus();
    }
    if (status == ERROR_SUCCESS && IsReadOnly(source.info)) {
        chmod(target.host.c_str(), 0444);
    }
    return status;
}

DWORD SetCurrentFolderOp(const char* path) {
    if (path != nullptr && *path == '\0') {
        return ERROR_INVALID_NAME;
    }
    HostEntry entry;
    WindowsPath parsed;
    const DWORD status = FindHostEntry(path, &entry, &parsed);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!IsFolderEntry(entry)) {
        return kErrorDirectory;
    }
    SetCurrentFolder(parsed.Text());
    return ERROR_SUCCESS;
}

} // namespace ovlayer
