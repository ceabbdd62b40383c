// The registry places of the user's data, written and wiped by the user-data tests. They are the
// program's own keys, not a sandbox: every test leaves them as it found them, absent.
#pragma once

#include "platform/win32api.h"

#include <string>
#include <thread>

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

// Standard input and output through pipes, for one dialogue: `ahead` is typed at once, `typed`
// as a person types it, once a question's last line ("Enter \"Y\" ...") has been printed, and
// then the input ends.
class Console {
public:
    explicit Console(const std::string& typed, const std::string& ahead = "");
    ~Console();
    // What was printed since construction, line ends as "\n".
    std::string Output();

private:
    void Watch(const std::string& typed);

    int savedInput_ = -1;
    int savedOutput_ = -1;
    int answers_ = -1;
    int printed_ = -1;
    std::string output_;
    std::thread watcher_;
    bool capturing_ = true;
};

} // namespace testsupport
