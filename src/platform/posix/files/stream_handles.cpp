// The standard handles and anonymous pipes as host descriptors. A handle keeps the bytes a peek
// took out of a pipe until a read asks for them, since the host cannot look into a pipe without
// reading it.
#include "platform/posix/files/stream_api.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/posix/core/test_controls.h"
#include "platform/posix/files/file_api.h"
#include "platform/posix/files/file_errors.h"

namespace ovlayer {
namespace {

struct Stream {
    int fd;
    bool owned;         // a pipe's end, closed with its handle
    std::string peeked; // taken out of the pipe by a peek, not yet read
};

std::unordered_map<HANDLE, Stream>& Streams() {
    static auto* streams = new std::unordered_map<HANDLE, Stream>;
    return *streams;
}

Stream* Find(HANDLE handle) {
    auto it = Streams().find(handle);
    if (it == Streams().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

HANDLE Add(int fd, bool owned) {
    HANDLE handle = new char; // a unique address for a handle value
    Streams().emplace(handle, Stream{fd, owned, std::string()});
    return handle;
}

bool IsPipe(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

// The pipe's write end is closed and nothing is left in it.
bool HungUp(int fd) {
    pollfd ready = {fd, POLLIN, 0};
    return poll(&ready, 1, 0) == 1 && (ready.revents & POLLHUP) != 0 &&
           (ready.revents & POLLIN) == 0;
}

BOOL Fail(DWORD status) {
    SetLastError(status);
    return FALSE;
}

// A write that raises no SIGPIPE: a pipe nobody reads fails with EPIPE instead, as on Windows.
ssize_t WriteQuietly(int fd, const void* data, size_t size) {
    sigset_t pipeSignal, old;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
    const ssize_t wrote = write(fd, data, size);
    const int error = errno;
    if (wrote < 0 && error == EPIPE) {
        const timespec now = {0, 0};
        sigtimedwait(&pipeSignal, nullptr, &now); // the signal this write raised
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = error;
    return wrote;
}

} // namespace

bool CloseStreamHandle(HANDLE handle) {
    auto it = Streams().find(handle);
    if (it == Streams().end()) {
        return false;
    }
    close(it->second.fd);
    Streams().erase(it);
    delete static_cast<char*>(handle);
    return true;
}

} // namespace ovlayer

using namespace ovlayer;

extern "C" {

HANDLE WINAPI GetStdHandle(DWORD which) {
    static HANDLE standard[3] = {};
    const DWORD index = STD_INPUT_HANDLE - which;
    if (index > 2) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    if (standard[index] == nullptr || Streams().count(standard[index]) == 0) {
        standard[index] = Add(static_cast<int>(index), false);
    }
    return standard[index];
}

DWORD WINAPI GetFileType(HANDLE file) {
    const Stream* stream = Find(file);
    struct stat info;
    if (stream == nullptr || fstat(stream->fd, &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
        return FILE_TYPE_DISK;
    }
    if (S_ISCHR(info.st_mode)) {
        return FILE_TYPE_CHAR;
    }
    return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ? FILE_TYPE_PIPE : FILE_TYPE_UNKNOWN;
}

BOOL WINAPI CreatePipe(PHANDLE readEnd, PHANDLE writeEnd, LPSECURITY_ATTRIBUTES, DWORD) {
    int ends[2];
    if (readEnd == nullptr || writeEnd == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return Fail(StatusFromHostErrno(errno));
    }
    *readEnd = Add(ends[0], true);
    *writeEnd = Add(ends[1], true);
    return TRUE;
}

BOOL WINAPI PeekNamedPipe(HANDLE pipe, LPVOID buffer, DWORD size, LPDWORD read, LPDWORD available,
                          LPDWORD leftInMessage) {
    long injected;
    if (TakeInjectedFailure(Call::PeekNamedPipe, &injected)) {
        return Fail(static_cast<DWORD>(injected));
    }
    Stream* stream = Find(pipe);
    if (stream == nullptr) {
        return FALSE;
    }
    if (!IsPipe(stream->fd)) {
        return Fail(ERROR_INVALID_FUNCTION);
    }
    int waiting = 0;
    if (ioctl(stream->fd, FIONREAD, &waiting) != 0) {
        return Fail(StatusFromHostErrno(errno));
    }
    if (waiting == 0 && stream->peeked.empty() && HungUp(stream->fd)) {
        return Fail(ERROR_BROKEN_PIPE);
    }
    if (buffer != nullptr && size > stream->peeked.size() && waiting > 0) {
        // Taken out now (FIONREAD says it will not block), handed to the next read.
        std::string taken(static_cast<size_t>(waiting), '\0');
        const ssize_t got = ::read(stream->fd, &taken[0], taken.size());
        if (got > 0) {
            stream->peeked.append(taken, 0, static_cast<size_t>(got));
            waiting -= static_cast<int>(got);
        }
    }
    const DWORD copied =
        buffer != nullptr ? static_cast<DWORD>(std::min<size_t>(size, stream->peeked.size())) : 0;
    if (copied > 0) {
        memcpy(buffer, stream->peeked.data(), copied);
    }
    if (read != nullptr) {
        *read = copied;
    }
    if (available != nullptr) {
        *available = static_cast<DWORD>(stream->peeked.size() + static_cast<size_t>(waiting));
    }
    if (leftInMessage != nullptr) {
        *leftInMessage = 0;
    }
    return TRUE;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read,
                     LPOVERLAPPED overlapped) {
    long injected;
    if (TakeInjectedFailure(Call::ReadFile, &injected)) {
        return Fail(static_cast<DWORD>(injected));
    }
    Stream* stream = Find(file);
    if (stream == nullptr) {
        return FALSE;
    }
    if (overlapped != nullptr || (buffer == nullptr && size > 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (read != nullptr) {
        *read = 0;
    }
    size_t done = std::min<size_t>(size, stream->peeked.size());
    memcpy(buffer, stream->peeked.data(), done);
    stream->peeked.erase(0, done);
    if (done == 0 && size > 0) {
        ssize_t got;
        do {
            got = ::read(stream->fd, buffer, size);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            return Fail(StatusFromHostErrno(errno));
        }
        if (got == 0 && IsPipe(stream->fd)) {
            return Fail(ERROR_BROKEN_PIPE);
        }
        done = static_cast<size_t>(got);
    }
    if (read != nullptr) {
        *read = static_cast<DWORD>(done);
    }
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    Stream* stream = Find(file);
    if (stream == nullptr) {
        return FALSE;
    }
    if (overlapped != nullptr || (buffer == nullptr && size > 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t wrote =
            WriteQuietly(stream->fd, static_cast<const char*>(buffer) + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote < 0) {
            if (written != nullptr) {
                *written = static_cast<DWORD>(done);
            }
            return Fail(errno == EPIPE ? ERROR_NO_DATA : StatusFromHostErrno(errno));
        }
        done += static_cast<size_t>(wrote);
    }
    if (written != nullptr) {
        *written = static_cast<DWORD>(done);
    }
    return TRUE;
}

BOOL WINAPI FlushConsoleInputBuffer(HANDLE input) {
    const Stream* stream = Find(input);
    if (stream == nullptr || !isatty(stream->fd)) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return tcflush(stream->fd, TCIFLUSH) == 0 ? TRUE : Fail(StatusFromHostErrno(errno));
}

} // extern "C"
