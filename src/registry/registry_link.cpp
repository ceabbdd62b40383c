#include "registry/registry_link.h"

#include "support/mb_text.h"
#include "support/removal_log.h"

namespace {

const char kLinkRule[] = "rule: a registry link is removed as a link, never followed";

bool IsLinkAt(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool link = IsRegistryLink(key);
    RegCloseKey(key);
    return link;
}

} // namespace

bool IsRegistryLink(HKEY key) {
    DWORD type = REG_NONE;
    return RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
}

LONG RemoveRegistryLink(HKEY root, const char* path) {
    HKEY link = nullptr;
    LONG status = RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &link);
    // Opened again with the right to delete it: it must still be the link it was.
    if (status == ERROR_SUCCESS && IsRegistryLink(link)) {
        status = NtDeleteKey(reinterpret_cast<HANDLE>(link));
    } else if (status == ERROR_SUCCESS) {
        status = ERROR_INVALID_HANDLE;
    }
    if (link != nullptr) {
        RegCloseKey(link);
    }
    if (status == 0) {
        LogKey(LV_Removed, root, path,
               "a registry link: removed itself, what it names not followed", LT_Link);
        return ERROR_SUCCESS;
    }
    if (IsRemovalLogOpen()) {
        String why;
        why.Format("%s; it could not be removed alone (status 0x%lX), so it stays", kLinkRule,
                   static_cast<unsigned long>(static_cast<DWORD>(status)));
        LogKey(LV_Refused, root, path, why, LT_Link);
    }
    return ERROR_ACCESS_DENIED;
}

bool LinkAmongAncestors(HKEY root, const char* path, String* link) {
    String above;
    for (const char* p = path; *p != '\0'; p = MbNext(p)) {
        if (*p == '\\' && p > path && MbNext(p) == p + 1) {
            above = String(path, static_cast<int>(p - path));
            if (IsLinkAt(root, above)) {
                if (link != nullptr) {
                    *link = above;
                }
                return true;
            }
        }
    }
    return false;
}
