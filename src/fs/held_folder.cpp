#include "fs/held_folder.h"

HeldFolder::HeldFolder(const char* path)
    : handle_(INVALID_HANDLE_VALUE), attributes_(0), identity_{0, 0, 0} {
    if (path == nullptr || *path == '\0') {
        return;
    }
    handle_ = CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        return;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle_, &info)) {
        Close(); // a folder that cannot be told apart from a link is not held, so not entered
        return;
    }
    attributes_ = info.dwFileAttributes;
    identity_ = IdentityOf(info);
}

HeldFolder::~HeldFolder() {
    Close();
}

void HeldFolder::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

bool IsLinkToRemoveItself(const HeldFolder& held, const char* path) {
    if (held.IsOpen() && held.IsLink()) {
        return true;
    }
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
