// Held by every test that starts a process under one of the maker's names or stops such
// processes. Stopping them reaches every process of those names on the host, so two such tests
// must never overlap, whichever build folder or build (Linux layer or Wine) they run from: the
// lock is a lock on the first byte of one file in the host's temporary folder,
// "/tmp/ovuninst-maker-processes.lock" (under Wine "Z:\tmp\..."), taken with fcntl on Linux and
// with LockFileEx under Wine, which sets the same fcntl lock on the host file.
#pragma once

namespace testsupport {

class MakerProcessLock {
public:
    MakerProcessLock();
    ~MakerProcessLock();
    MakerProcessLock(const MakerProcessLock&) = delete;
    MakerProcessLock& operator=(const MakerProcessLock&) = delete;

    // False when the lock could not be taken (the test then runs unguarded and says so).
    bool Held() const { return held_; }

private:
    bool held_ = false;
    int fd_ = -1;                             // the lock file on Linux
    [[maybe_unused]] void* handle_ = nullptr; // the lock file, or the mutex, on Windows
    [[maybe_unused]] bool isMutex_ = false;
};

} // namespace testsupport
