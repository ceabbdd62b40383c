// The registry places of the user's data, written and wiped by the user-data tests. They are the
// program's own keys, not a sandbox: every test leaves them as it found them, absent.
#pragma once

#include "platform/win32api.h"

#include <string>

namespace testsupport {

void WipeUserDataKeys();
void SetText(HKEY root, const std::string& path, const char* valueName, const std::string& text,
             DWORD type = REG_SZ);
void SetBytes(HKEY root, const std::string& path, const char* valueName, const void* data,
              DWORD size, DWORD type);
bool KeyExists(HKEY root, const std::string& path);
// The value's type and bytes as stored; false when it is missing.
bool ReadValue(HKEY root, const std::string& path, const char* valueName, DWORD* type,
               std::string* data);

// Standard input read from a file holding `typed`, and standard output captured, for one question.
class Console {
public:
    explicit Console(const std::string& typed);
    ~Console();
    // What was printed since construction, line ends as "\n".
    std::string Output();

private:
    std::string file_;
    bool capturing_ = true;
};

} // namespace testsupport
