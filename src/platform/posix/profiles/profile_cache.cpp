#include "platform/posix/profiles/profile_cache.h"

#include <sys/stat.h>

#include "platform/posix/paths/path_map.h"

namespace ovlayer {

namespace {

struct Cache {
    std::string path;     // the Windows path it was read from; empty: nothing cached
    struct stat stamp {}; // the host file when it was read or written
    ProfileFile file;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// The host file's identity, or false when there is no such file.
bool Stamp(const std::string& path, struct stat* stamp) {
    HostEntry entry;
    if (FindHostEntry(path.c_str(), &entry) != ERROR_SUCCESS || !S_ISREG(entry.info.st_mode)) {
        return false;
    }
    *stamp = entry.info;
    return true;
}

} // namespace

std::mutex& ProfileLock() {
    static std::mutex lock;
    return lock;
}

ProfileFile* CachedProfile(const std::string& path, DWORD* status) {
    Cache& cache = TheCache();
    struct stat now {};
    const bool exists = Stamp(path, &now);
    *status = ERROR_SUCCESS;
    if (exists && cache.path == path && SameFile(cache.stamp, now)) {
        return &cache.file;
    }
    cache.path.clear();
    *status = cache.file.Load(path);
    if (*status != ERROR_SUCCESS) {
        return nullptr;
    }
    // A missing file is read afresh each time: it may be made by then.
    if (exists) {
        cache.path = path;
        cache.stamp = now;
    }
    return &cache.file;
}

DWORD SaveCachedProfile(const std::string& path) {
    Cache& cache = TheCache();
    const DWORD status = cache.file.Save(path);
    struct stat now {};
    if (status == ERROR_SUCCESS && Stamp(path, &now)) {
        cache.path = path;
        cache.stamp = now;
    } else {
        cache.path.clear();
    }
    return status;
}

} // namespace ovlayer
