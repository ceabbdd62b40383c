#include "registry/delete_registry_tree.h"

#include "fs/removal_guard.h"
#include "registry/registry_backup.h"
#include "registry/registry_link.h"
#include "support/removal_log.h"
#include "support/string.h"

namespace {

void LogStatus(LogVerb verb, HKEY root, const char* path, const char* what, LONG status) {
    if (IsRemovalLogOpen()) {
        String why;
        LogKey(verb, root, path, why.Format("%s: status %ld", what, static_cast<long>(status)));
    }
}

bool NamesRoot(const char* path) {
    return path == nullptr || path[strspn(path, "\\")] == '\0';
}

// Below a link every open by the path reaches what the link names. Only the keys above the
// tree's own are looked at: those the walk opens below it are each judged as they are opened.
bool ThroughALink(HKEY root, const String& path) {
    String link;
    if (!LinkAmongAncestors(root, path, &link)) {
        return false;
    }
    if (IsRemovalLogOpen()) {
        LogKey(LV_Refused, root, path,
               Concat("rule: a registry link is never followed by a deletion; the path goes "
                      "through the link ",
                      link));
    }
    return true;
}

// Each level keeps its own open key and name buffer while its sub-keys go; sub-keys are walked
// from the highest index down, so deleting one never moves those still to be visited. `top`:
// the tree's own key, whose path came from the caller.
LONG DeleteTree(HKEY root, const String& path, bool top) {
    HKEY key = nullptr;
    // Opened as itself: a link key is removed as a link, and what it names is never entered.
    const LONG opened = RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, MAXIMUM_ALLOWED, &key);
    if (opened != ERROR_SUCCESS) {
        // A key that is not there is simply skipped; one that is there and cannot be opened
        // resisted.
        if (opened != ERROR_FILE_NOT_FOUND) {
            LogStatus(LV_Failed, root, path, "it could not be opened", opened);
        }
        return opened;
    }
    if (top && ThroughALink(root, path)) {
        RegCloseKey(key);
        return ERROR_ACCESS_DENIED;
    }
    if (IsRegistryLink(key)) {
        RegCloseKey(key);
        return RemoveRegistryLink(root, path);
    }
    // Saved once it is known to be deleted as a tree: a link, or a path through one, is not.
    if (top) {
        BackUpRegistryTree(root, path);
    }
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    char name[kPathRoom];
    memset(name, 0, sizeof name);
    for (DWORD index = count; index > 0; --index) {
        if (RegEnumKeyA(key, index - 1, name, kPathRoom) != ERROR_SUCCESS) {
            continue;
        }
        String child = path;
        child.Append("\\");
        child.Append(name);
        DeleteTree(root, child, false);
    }
    RegCloseKey(key);
    const LONG deleted = RegDeleteKeyA(root, path);
    if (deleted == ERROR_SUCCESS) {
        LogKey(LV_Removed, root, path);
    } else {
        LogStatus(LV_Failed, root, path, "it resisted deletion", deleted);
    }
    return deleted;
}

} // namespace

LONG DeleteRegistryTree(HKEY root, const char* path) {
    if (NamesRoot(path)) {
        LogKey(LV_Refused, root, path, "rule: an empty path would name the whole root");
        return ERROR_INVALID_PARAMETER;
    }
    if (RefusesCutPath(LT_Key, path, root)) {
        return ERROR_INVALID_PARAMETER;
    }
    return DeleteTree(root, String(path), true);
}
