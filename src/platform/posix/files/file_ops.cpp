#include "platform/posix/files/file_ops.h"

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
        if (chmod(entry.host.c_str(), mode & 07777) != 0) {
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
    return unlink(entry.host.c_str()) == 0 ? ERROR_SUCCESS : HostStatus();
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
        return unlink(entry.host.c_str()) == 0 ? ERROR_SUCCESS : HostStatus();
    }
    if (const DWORD held = DeleteSharingStatus(entry.info)) {
        return held;
    }
    if (rmdir(entry.host.c_str()) == 0) {
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
