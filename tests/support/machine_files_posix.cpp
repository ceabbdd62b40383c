// On the Linux layer drive C: is the machine folder's drive_c; the tests name their files in the
// letter case they are made in, so the mapping here is by exact name.
#include <filesystem>

#include "tests/support/machine_files.h"

#include "platform/posix/core/machine.h"

#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace testsupport {
namespace {

std::filesystem::path HostPath(const std::string& windowsPath) {
    std::string rest =
        windowsPath.size() >= 2 && windowsPath[1] == ':' ? windowsPath.substr(2) : windowsPath;
    for (char& c : rest) {
        if (c == '\\') {
            c = '/';
        }
    }
    return std::filesystem::path(ovlayer::MachinePath("drive_c") + rest);
}

} // namespace

bool MakeFolders(const std::string& windowsPath) {
    std::error_code error;
    std::filesystem::create_directories(HostPath(windowsPath), error);
    return std::filesystem::is_directory(HostPath(windowsPath), error);
}

bool MakeFile(const std::string& windowsPath, const std::string& content) {
    const std::filesystem::path host = HostPath(windowsPath);
    std::error_code error;
    std::filesystem::create_directories(host.parent_path(), error);
    std::ofstream file(host, std::ios::binary);
    file << content;
    return static_cast<bool>(file);
}

std::string ReadBytes(const std::string& windowsPath) {
    std::ifstream file(HostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void RemoveAll(const std::string& windowsPath) {
    std::error_code ignored;
    std::filesystem::remove_all(HostPath(windowsPath), ignored);
}

bool Exists(const std::string& windowsPath) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(HostPath(windowsPath), error));
}

std::string ReadWholeFile(const std::string& windowsPath) {
    std::ifstream file(HostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

FolderLink::FolderLink(const std::string& link, const std::string& target) : link_(link) {
    std::error_code error;
    std::filesystem::create_directory_symlink(HostPath(target), HostPath(link), error);
    made_ = !error;
}

FolderLink::~FolderLink() {
    std::error_code ignored;
    if (made_) {
        std::filesystem::remove(HostPath(link_), ignored);
    }
}

void SetVariable(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnvironment::ScopedEnvironment(const std::string& name, const std::string& value)
    : name_(name) {
    const char* old = getenv(name.c_str());
    had_ = old != nullptr;
    old_ = had_ ? old : "";
    if (value.empty()) { // as on Windows, where "NAME=" removes the variable
        unsetenv(name.c_str());
    } else {
        setenv(name.c_str(), value.c_str(), 1);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    if (had_) {
        setenv(name_.c_str(), old_.c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

MakerDataLock::MakerDataLock() = default;
MakerDataLock::~MakerDataLock() = default;

std::string SystemFolder() {
    return ovlayer::kSystemFolder;
}

bool MakeStreamPipe(int ends[2]) {
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    fcntl(ends[1], F_SETPIPE_SZ, 1 << 20); // room for long lines typed ahead
    return true;
}

int CopyDescriptor(int fd) {
    return dup(fd);
}

void MoveDescriptor(int fd, int to) {
    dup2(fd, to);
    close(fd);
}

long ReadDescriptor(int fd, char* buffer, unsigned size) {
    return read(fd, buffer, size);
}

bool WriteDescriptor(int fd, const std::string& data) {
    return write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

void CloseDescriptor(int fd) {
    close(fd);
}

void ResetStandardInput() {
    __fpurge(stdin);
    clearerr(stdin);
}

} // namespace testsupport
