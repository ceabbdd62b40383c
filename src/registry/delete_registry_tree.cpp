#include "registry/delete_registry_tree.h"

#include "support/string.h"

namespace {

constexpr DWORD kNameSize = 260;

bool NamesRoot(const char* path) {
    return path == nullptr || path[strspn(path, "\\")] == '\0';
}

// Each level keeps its own open key and name buffer while its sub-keys go; sub-keys are walked
// from the highest index down, so deleting one never moves those still to be visited.
LONG DeleteTree(HKEY root, const String& path) {
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyA(root, path, &key);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    char name[kNameSize];
    memset(name, 0, sizeof name);
    for (DWORD index = count; index > 0; --index) {
        if (RegEnumKeyA(key, index - 1, name, kNameSize) != ERROR_SUCCESS) {
            continue;
        }
        String child = path;
        child.Append("\\");
        child.Append(name);
        DeleteTree(root, child);
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, path);
}

} // namespace

LONG DeleteRegistryTree(HKEY root, const char* path) {
    if (NamesRoot(path) || IsPossiblyCutPath(path)) {
        return ERROR_INVALID_PARAMETER;
    }
    return DeleteTree(root, String(path));
}
