// The runtime's file and folder functions on Windows paths, with the errno values the Microsoft
// runtime sets (named by the host's constants; see file_errors.h). Each one writes a journal line
// and honours an injected failure (an errno value).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/files/crt_api.h"
#include "platform/posix/files/file_errors.h"
#include "platform/posix/files/file_ops.h"
#include "platform/posix/files/sharing.h"
#include "platform/posix/paths/path_map.h"
#include "platform/posix/core/test_controls.h"

namespace {

using namespace ovlayer;

bool Injected(Call call) {
    long error;
    if (!TakeInjectedFailure(call, &error)) {
        return false;
    }
    errno = static_cast<int>(error);
    return true;
}

int Report(DWORD status) {
    if (status != ERROR_SUCCESS) {
        errno = CrtErrnoFromStatus(status);
        return -1;
    }
    return 0;
}

bool EndsWithSeparator(const char* path) {
    const size_t length = strlen(path);
    return length > 0 && (path[length - 1] == '\\' || path[length - 1] == '/');
}

bool IsRootText(const char* path) {
    return path[0] != '\0' && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
           path[3] == '\0';
}

// Programs by their extension, as the runtime judges them.
bool HasProgramExtension(const char* path) {
    const char* dot = strrchr(path, '.');
    if (dot == nullptr || strpbrk(dot, "\\/") != nullptr) {
        return false;
    }
    return _stricmp(dot, ".exe") == 0 || _stricmp(dot, ".bat") == 0 || _stricmp(dot, ".cmd") == 0 ||
           _stricmp(dot, ".com") == 0;
}

unsigned short StatMode(const char* path, DWORD attributes) {
    unsigned mode = _S_IREAD;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        mode |= _S_IFDIR | _S_IEXEC;
    } else {
        mode |= _S_IFREG | (HasProgramExtension(path) ? _S_IEXEC : 0);
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        mode |= _S_IWRITE;
    }
    mode |= (mode & 0700) >> 3;
    mode |= (mode & 0700) >> 6;
    return static_cast<unsigned short>(mode);
}

// The runtime refuses a trailing separator (except on a root), wildcards and a bare "X:".
bool StatRefuses(const char* path) {
    if (*path == '\0' || strpbrk(path, "*?") != nullptr) {
        return true;
    }
    if (path[1] == ':' && path[2] == '\0') {
        return true;
    }
    return EndsWithSeparator(path) && !IsRootText(path);
}

} // namespace

extern "C" {

int _stat(const char* path, struct _stat* info) {
    Record("_stat(" + JournalText(path) + ")");
    if (Injected(Call::_stat)) {
        return -1;
    }
    if (path == nullptr || info == nullptr) {
        errno = EINVAL;
        return -1;
    }
    if (StatRefuses(path)) {
        errno = ENOENT;
        return -1;
    }
    HostEntry entry;
    WindowsPath parsed;
    DWORD status = FindHostEntry(path, &entry, &parsed);
    struct stat target;
    if (status == ERROR_SUCCESS && stat(entry.host.c_str(), &target) != 0) {
        status = ERROR_FILE_NOT_FOUND; // a link to nothing
    }
    if (status != ERROR_SUCCESS) {
        return Report(status);
    }
    const DWORD attributes = AttributesFromHost(target, nullptr);
    memset(info, 0, sizeof *info);
    info->st_dev = info->st_rdev = static_cast<unsigned>(parsed.drive - 'A');
    info->st_mode = StatMode(path, attributes);
    info->st_nlink = 1;
    info->st_size = S_ISDIR(target.st_mode) ? 0 : static_cast<long>(target.st_size);
    info->st_atime_ = target.st_atim.tv_sec;
    info->st_mtime_ = target.st_mtim.tv_sec;
    info->st_ctime_ = target.st_ctim.tv_sec;
    return 0;
}

int _unlink(const char* path) {
    if (JournalRunning()) {
        Record("_unlink(" + JournalText(path) + ")");
    }
    if (Injected(Call::_unlink)) {
        return -1;
    }
    return Report(DeleteFileOp(path));
}

int _rmdir(const char* path) {
    if (JournalRunning()) {
        Record("_rmdir(" + JournalText(path) + ")");
    }
    if (Injected(Call::_rmdir)) {
        return -1;
    }
    if (path != nullptr && *path == '\0') {
        return Report(ERROR_INVALID_NAME);
    }
    return Report(RemoveDirectoryOp(path));
}

int _mkdir(const char* path) {
    Record("_mkdir(" + JournalText(path) + ")");
    if (Injected(Call::_mkdir)) {
        return -1;
    }
    return Report(CreateDirectoryOp(path));
}

int _chdir(const char* path) {
    Record("_chdir(" + JournalText(path) + ")");
    if (Injected(Call::_chdir)) {
        return -1;
    }
    return Report(SetCurrentFolderOp(path));
}

char* _getcwd(char* buffer, int size) {
    Record("_getcwd(" + std::to_string(size) + ")");
    if (Injected(Call::_getcwd)) {
        return nullptr;
    }
    const std::string& folder = CurrentFolder();
    const size_t needed = folder.size() + 1;
    if (buffer == nullptr) {
        // Like the runtime: a buffer of the size asked for, or of the size needed when larger.
        const size_t room = size > 0 && static_cast<size_t>(size) > needed ? size : needed;
        buffer = static_cast<char*>(malloc(room));
        if (buffer == nullptr) {
            errno = ENOMEM;
            return nullptr;
        }
    } else if (size <= 0 || static_cast<size_t>(size) < needed) {
        errno = ERANGE;
        return nullptr;
    }
    memcpy(buffer, folder.c_str(), needed);
    return buffer;
}

int _chmod(const char* path, int mode) {
    // The line's text is made only for a running journal: a removal calls this per file.
    if (JournalRunning()) {
        Record("_chmod(" + JournalText(path) + ", " +
               JournalHex(static_cast<unsigned>(mode), false) + ")");
    }
    if (Injected(Call::_chmod)) {
        return -1;
    }
    const DWORD attributes = (mode & _S_IWRITE) != 0 ? 0 : FILE_ATTRIBUTE_READONLY;
    return Report(SetAttributesOp(path, attributes));
}

int ovl_rename(const char* from, const char* to) {
    Record("rename(" + JournalText(from) + ", " + JournalText(to) + ")");
    if (Injected(Call::rename)) {
        return -1;
    }
    return Report(MoveFileOp(from, to));
}

// Makes or empties a file and opens it for writing; without _S_IWRITE in `mode` the file is
// read-only once made. A read-only or folder entry of that name is refused with EACCES.
int _creat(const char* path, int mode) {
    char hex[16];
    snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(mode));
    Record("_creat(" + JournalText(path) + ", " + hex + ")");
    if (Injected(Call::_creat)) {
        return -1;
    }
    HostEntry entry;
    const DWORD status = FindHostEntry(path, &entry);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return Report(status);
    }
    if (status == ERROR_SUCCESS &&
        (IsFolderEntry(entry) || (AttributesOf(entry) & FILE_ATTRIBUTE_READONLY) != 0)) {
        return Report(ERROR_ACCESS_DENIED);
    }
    const mode_t permissions = (mode & _S_IWRITE) != 0 ? 0644 : 0444;
    const int fd = open(entry.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, permissions);
    if (fd < 0) {
        return Report(StatusFromHostErrno(errno));
    }
    // The runtime opens its files sharing reading and writing, never deletion.
    struct stat info;
    if (fstat(fd, &info) == 0) {
        HoldWithoutDeleteSharing(Holder::kDescriptor, static_cast<uintptr_t>(fd), info);
    }
    return fd;
}

int _write(int fd, const void* data, unsigned int count) {
    Record("_write(" + std::to_string(fd) + ", " + std::to_string(count) + ")");
    if (Injected(Call::_write)) {
        return -1;
    }
    const ssize_t written = write(fd, data, count);
    if (written < 0) {
        // A file the host will not let grow (a full disk, a size limit) is a full disk to the
        // runtime.
        errno = errno == ENOSPC || errno == EFBIG ? ENOSPC : EBADF;
        return -1;
    }
    return static_cast<int>(written);
}

// The position moves to offset from the start, the position or the end (SEEK_SET, SEEK_CUR,
// SEEK_END); a position before the start is EINVAL.
long _lseek(int fd, long offset, int origin) {
    Record("_lseek(" + std::to_string(fd) + ", " + std::to_string(offset) + ", " +
           std::to_string(origin) + ")");
    if (Injected(Call::_lseek)) {
        return -1;
    }
    if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) {
        errno = EINVAL;
        return -1;
    }
    const off_t position = lseek(fd, offset, origin);
    if (position < 0) {
        errno = errno == EBADF ? EBADF : EINVAL;
        return -1;
    }
    return static_cast<long>(position);
}

// Cuts the file to `size` bytes, or lengthens it with zeros; the position stays where it was.
int _chsize(int fd, long size) {
    Record("_chsize(" + std::to_string(fd) + ", " + std::to_string(size) + ")");
    if (Injected(Call::_chsize)) {
        return -1;
    }
    if (size < 0) {
        errno = EINVAL;
        return -1;
    }
    if (ftruncate(fd, size) != 0) {
        errno = errno == ENOSPC ? ENOSPC : errno == EBADF ? EBADF : EACCES;
        return -1;
    }
    return 0;
}

int _close(int fd) {
    Record("_close(" + std::to_string(fd) + ")");
    if (Injected(Call::_close)) {
        return -1;
    }
    Release(Holder::kDescriptor, static_cast<uintptr_t>(fd));
    if (close(fd) != 0) {
        errno = EBADF;
        return -1;
    }
    return 0;
}

} // extern "C"
