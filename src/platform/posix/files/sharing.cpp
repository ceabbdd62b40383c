#include "platform/posix/files/sharing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <utility>

namespace ovlayer {
namespace {

using Identity = std::pair<dev_t, ino_t>;
using Owner = std::pair<Holder, uintptr_t>;

struct Table {
    std::map<Owner, Identity> owners;
    std::map<Identity, int> holds; // how many owners hold each entry
};

Table& Held() {
    static Table table;
    return table;
}

} // namespace

void HoldWithoutDeleteSharing(Holder kind, uintptr_t id, const struct stat& info) {
    Release(kind, id); // a reused descriptor number holds only its new file
    const Identity identity{info.st_dev, info.st_ino};
    Held().owners[Owner{kind, id}] = identity;
    ++Held().holds[identity];
}

void Release(Holder kind, uintptr_t id) {
    Table& table = Held();
    auto owner = table.owners.find(Owner{kind, id});
    if (owner == table.owners.end()) {
        return;
    }
    auto held = table.holds.find(owner->second);
    if (--held->second == 0) {
        table.holds.erase(held);
    }
    table.owners.erase(owner);
}

DWORD DeleteSharingStatus(const struct stat& info) {
    const Table& table = Held();
    if (table.holds.empty()) {
        return ERROR_SUCCESS;
    }
    return table.holds.count(Identity{info.st_dev, info.st_ino}) ? ERROR_SHARING_VIOLATION
                                                                 : ERROR_SUCCESS;
}

DWORD WriteSharingStatus(const char* host) {
    const int fd = open(host, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return ERROR_SUCCESS;
    }
    const bool writing = fcntl(fd, F_SETLEASE, F_RDLCK) != 0 && errno == EAGAIN;
    if (!writing) {
        fcntl(fd, F_SETLEASE, F_UNLCK);
    }
    close(fd);
    return writing ? ERROR_SHARING_VIOLATION : ERROR_SUCCESS;
}

} // namespace ovlayer
