// The full path of one file, stored as given (neither normalised nor checked), and the two
// things done with it: asking whether it is a regular file, and deleting it.
#pragma once

#include "platform/win32api.h"
#include "support/string.h"

class FilePath {
public:
    // A null or empty text gives an empty path.
    explicit FilePath(const char* text);

    String GetText() const;

private:
    String path;
};

// 1 when the path names an existing regular file (of any size), else 0 (a folder, nothing).
int IsRegularFile(const FilePath& file);

// S_OK when the file was deleted, else E_FAIL. A read-only file is not deleted, and neither is a
// path that may have been cut by formatting.
HRESULT Delete(const FilePath& file);
