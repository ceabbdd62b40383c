#include "tests/support/maker_process_lock.h"

#include "platform/win32api.h"

#include <cstdio>

namespace testsupport {
namespace {

// The host's /tmp as Wine shows it (drive Z: is the host's root in every prefix).
constexpr char kHostTemp[] = "Z:\\tmp";
constexpr char kLockFile[] = "Z:\\tmp\\ovuninst-maker-processes.lock";
// Where there is no host beneath (a real Windows), a mutex of the whole machine stands in.
constexpr char kMutexName[] = "Global\\ovuninst-maker-processes";

bool HostTempExists() {
    const DWORD attributes = GetFileAttributesA(kHostTemp);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

MakerProcessLock::MakerProcessLock() {
    if (!HostTempExists()) {
        handle_ = CreateMutexA(nullptr, FALSE, kMutexName);
        isMutex_ = true;
        // An owner that died holding it hands it over as abandoned, which is ownership all the
        // same.
        held_ = handle_ != nullptr && WaitForSingleObject(handle_, INFINITE) != WAIT_FAILED;
        return;
    }
    const HANDLE file = CreateFileA(kLockFile, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "%s: cannot open (%lu)\n", kLockFile, GetLastError());
        return;
    }
    OVERLAPPED firstByte = {};
    // Blocks while another process, Wine's or the host's, holds the byte.
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &firstByte)) {
        fprintf(stderr, "%s: cannot lock (%lu)\n", kLockFile, GetLastError());
        CloseHandle(file);
        return;
    }
    handle_ = file;
    held_ = true;
}

MakerProcessLock::~MakerProcessLock() {
    if (handle_ == nullptr) {
        return;
    }
    if (isMutex_) {
        if (held_) {
            ReleaseMutex(handle_);
        }
    } else {
        OVERLAPPED firstByte = {};
        UnlockFileEx(handle_, 0, 1, 0, &firstByte);
    }
    CloseHandle(handle_);
}

} // namespace testsupport
