#include <filesystem>

#include "tests/support/machine_files.h"

#include "platform/win32api.h"

#include <cstdlib>
#include <fstream>

namespace testsupport {

bool MakeFolders(const std::string& windowsPath) {
    std::error_code error;
    std::filesystem::create_directories(windowsPath, error);
    return std::filesystem::is_directory(windowsPath, error);
}

bool MakeFile(const std::string& windowsPath, const std::string& content) {
    const std::filesystem::path path(windowsPath);
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary);
    file << content;
    return static_cast<bool>(file);
}

void RemoveAll(const std::string& windowsPath) {
    std::error_code ignored;
    std::filesystem::remove_all(windowsPath, ignored);
}

bool Exists(const std::string& windowsPath) {
    return GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetVariable(const std::string& name, const std::string& value) {
    // "NAME=" removes the variable, as an empty value does for getenv on Windows.
    _putenv((name + "=" + value).c_str());
}

ScopedEnvironment::ScopedEnvironment(const std::string& name, const std::string& value)
    : name_(name) {
    const char* old = getenv(name.c_str());
    had_ = old != nullptr;
    old_ = had_ ? old : "";
    _putenv((name + "=" + value).c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
    // "NAME=" removes the variable from the runtime's environment.
    _putenv((name_ + "=" + old_).c_str());
}

MakerDataLock::MakerDataLock() : mutex_(CreateMutexA(nullptr, FALSE, "ovuninst-tests-maker-data")) {
    // An owner that died holding it hands it over as abandoned, which is ownership all the same.
    if (mutex_ != nullptr) {
        WaitForSingleObject(mutex_, INFINITE);
    }
}

MakerDataLock::~MakerDataLock() {
    if (mutex_ != nullptr) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

std::string SystemFolder() {
    char folder[MAX_PATH + 1] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

} // namespace testsupport
