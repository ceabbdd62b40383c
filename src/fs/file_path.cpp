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
    if (IsPossiblyCutPath(text)) {
        LogAction(LV_Refused, LT_File, text,
                  "rule: a path that may have been cut to fit is never deleted");
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
