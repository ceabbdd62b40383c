#include "support/run_file.h"

#include <cstring>

bool RunFilePath(const char* name, char (&path)[kRunFilePathRoom]) {
    path[0] = '\0';
    const DWORD length = GetTempPathA(MAX_PATH, path);
    if (length == 0 || length >= MAX_PATH || length + strlen(name) >= kRunFilePathRoom) {
        path[0] = '\0';
        return false;
    }
    strcpy(path + length, name);
    return true;
}

void KeepPreviousRun(const char* path, const char* previousName) {
    const char* slash = strrchr(path, '\\');
    const size_t folderLength = slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
    char previous[kRunFilePathRoom];
    if (folderLength + strlen(previousName) >= sizeof previous) {
        return;
    }
    memcpy(previous, path, folderLength);
    strcpy(previous + folderLength, previousName);
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    _chmod(previous, _S_IREAD | _S_IWRITE);
    _unlink(previous);
    rename(path, previous);
}

const char* PredefinedRootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) {
        return "HKEY_CLASSES_ROOT";
    }
    if (root == HKEY_CURRENT_USER) {
        return "HKEY_CURRENT_USER";
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return "HKEY_LOCAL_MACHINE";
    }
    return nullptr;
}
