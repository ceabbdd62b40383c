#include "fs/file_path.h"

#include "fs/removal_guard.h"

FilePath::FilePath(const char* text) : path(text != nullptr ? text : "") {}

String FilePath::GetText() const {
    return path;
}

int IsRegularFile(const FilePath& file) {
    struct _stat info;
    if (_stat(file.GetText(), &info) != 0) {
        return 0;
    }
    return (info.st_mode & _S_IFREG) != 0 ? 1 : 0;
}

HRESULT Delete(const FilePath& file) {
    const String text = file.GetText();
    if (IsPossiblyCutPath(text)) {
        return E_FAIL;
    }
    return DeleteFileA(text) ? S_OK : E_FAIL;
}
