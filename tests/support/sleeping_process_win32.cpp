#include "tests/support/sleeping_process.h"

#include "platform/win32api.h"

#include <filesystem>

namespace testsupport {
namespace {

std::string SleeperPath() {
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / "sleeper.exe").string();
}

// A process just created may not have loaded its modules yet; the sleeper says when it runs.
bool WaitUntilReady(const std::string& readyFile) {
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(readyFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 20000) {
            return false;
        }
        Sleep(5);
    }
    DeleteFileA(readyFile.c_str());
    return true;
}

} // namespace

SleepingProcess::SleepingProcess(const std::string& fileName) : folder_(NewSleeperFolder()) {
    if (folder_.empty()) {
        return;
    }
    filePath_ = (std::filesystem::path(folder_) / fileName).string();
    if (!CopyFileA(SleeperPath().c_str(), filePath_.c_str(), TRUE)) {
        return;
    }
    const std::string ready = filePath_ + ".ready";
    std::string commandLine = "\"" + filePath_ + "\" 120 \"" + ready + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(filePath_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        handle_ = info.hProcess;
        startTicks_ = GetTickCount();
        id_ = info.dwProcessId;
        started_ = WaitUntilReady(ready);
    }
}

SleepingProcess::~SleepingProcess() {
    if (handle_ != nullptr && !ended_) {
        TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 10000);
    }
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
    DeleteFileA(filePath_.c_str());
    RemoveSleeperFolder(folder_);
}

bool SleepingProcess::EndsWithin(double seconds) {
    if (started_ && !ended_ &&
        WaitForSingleObject(handle_, static_cast<DWORD>(seconds * 1000)) == WAIT_OBJECT_0) {
        ended_ = true;
        // The exit code cannot tell (the maker's processes are ended with code 0): the sleeper
        // sleeps for two minutes, so ending well before that is ending by a kill.
        killed_ = GetTickCount() - startTicks_ < 100000;
    }
    return ended_;
}

} // namespace testsupport
