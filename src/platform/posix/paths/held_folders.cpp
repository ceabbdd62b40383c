#include "platform/posix/paths/held_folders.h"

#include <map>

namespace ovlayer {
namespace {

struct Held {
    WindowsPath path;
    int fd;
};

std::map<uintptr_t, Held>& Folders() {
    static std::map<uintptr_t, Held> folders;
    return folders;
}

// True when `folder` is `path` or one of its ancestors, names compared as Windows compares them.
bool Contains(const WindowsPath& folder, const WindowsPath& path) {
    if (folder.drive != path.drive || folder.parts.size() > path.parts.size()) {
        return false;
    }
    for (size_t i = 0; i < folder.parts.size(); ++i) {
        if (!SameNameIgnoringCase(folder.parts[i].c_str(), path.parts[i].c_str())) {
            return false;
        }
    }
    return true;
}

} // namespace

void HoldFolder(uintptr_t id, int fd, const WindowsPath& path) {
    Folders()[id] = Held{path, fd};
}

void ReleaseFolder(uintptr_t id) {
    Folders().erase(id);
}

bool FindHeldFolder(const WindowsPath& path, bool itself, int* fd, size_t* covered) {
    const Held* deepest = nullptr;
    const size_t longest = itself ? path.parts.size() : path.parts.size() - 1;
    for (const auto& held : Folders()) {
        const size_t parts = held.second.path.parts.size();
        if (parts <= longest && (deepest == nullptr || parts > deepest->path.parts.size()) &&
            Contains(held.second.path, path)) {
            deepest = &held.second;
        }
    }
    if (deepest == nullptr) {
        return false;
    }
    *fd = deepest->fd;
    *covered = deepest->path.parts.size();
    return true;
}

} // namespace ovlayer
