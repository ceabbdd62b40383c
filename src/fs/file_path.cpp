#include "fs/file_path.h"

#include "fs/removal_guard.h"
#include "support/removal_log.h"

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
    if (RefusesCutPath(LT_File, text)) {
        return E_FAIL;
    }
    if (DeleteFileA(text)) {
        LogAction(LV_Removed, LT_File, text);
        return S_OK;
    }
    if (IsRemovalLogOpen()) {
        String why;
        LogAction(LV_Failed, LT_File, text,
                  why.Format("status %lu", static_cast<unsigned long>(GetLastError())));
    }
    return E_FAIL;
}
