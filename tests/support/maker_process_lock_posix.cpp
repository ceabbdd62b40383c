#include "tests/support/maker_process_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace testsupport {
namespace {

constexpr char kLockFile[] = "/tmp/ovuninst-maker-processes.lock";

// An fcntl lock, not flock: the two never see each other on Linux, and Wine's LockFileEx sets the
// fcntl kind.
struct flock FirstByte(short type) {
    struct flock range = {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    return range;
}

} // namespace

MakerProcessLock::MakerProcessLock() {
    const int fd = open(kLockFile, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        perror(kLockFile);
        return;
    }
    fchmod(fd, 0666); // whoever made it first, every user's tests may lock it
    struct flock range = FirstByte(F_WRLCK);
    int result;
    while ((result = fcntl(fd, F_SETLKW, &range)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        perror(kLockFile);
        close(fd);
        return;
    }
    fd_ = fd;
    held_ = true;
}

MakerProcessLock::~MakerProcessLock() {
    if (fd_ >= 0) {
        struct flock range = FirstByte(F_UNLCK);
        fcntl(fd_, F_SETLK, &range);
        close(fd_);
    }
}

} // namespace testsupport
