#include <filesystem>

#include "tests/support/machine_files.h"

#include "platform/win32api.h"

#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

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

std::string ReadBytes(const std::string& windowsPath) {
    std::ifstream file(windowsPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void RemoveAll(const std::string& windowsPath) {
    std::error_code ignored;
    std::filesystem::remove_all(windowsPath, ignored);
}

bool Exists(const std::string& windowsPath) {
    return GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// Wine's own entries for the host's file names; absent on Windows.
typedef char*(CDECL* UnixNameOf)(LPCWSTR);
typedef WCHAR*(CDECL* DosNameOf)(LPCSTR);

template <typename Function> Function WineEntry(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

std::wstring Wide(const std::string& text) {
    wchar_t wide[MAX_PATH + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH);
    return wide;
}

std::string UnixName(UnixNameOf unixNameOf, const std::string& windowsPath) {
    char* name = unixNameOf(Wide(windowsPath).c_str());
    const std::string unixName = name != nullptr ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return unixName;
}

// Starts a program and waits for it; Wine starts a host program detached and does not wait, so
// the caller waits for its effect.
void Run(std::string commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

bool WaitUntilPresent(const std::string& path, bool present) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) {
            return true;
        }
        Sleep(50);
    }
    return false;
}

// A host program's DOS path under Wine, such as "Z:\bin\ln".
std::string HostProgram(const char* unixPath) {
    const auto dosNameOf = WineEntry<DosNameOf>("wine_get_dos_file_name");
    WCHAR* name = dosNameOf != nullptr ? dosNameOf(unixPath) : nullptr;
    char text[MAX_PATH + 1] = {};
    if (name != nullptr) {
        WideCharToMultiByte(CP_ACP, 0, name, -1, text, MAX_PATH, nullptr, nullptr);
        HeapFree(GetProcessHeap(), 0, name);
    }
    return text;
}

UnixNameOf WineUnixNames() {
    return WineEntry<UnixNameOf>("wine_get_unix_file_name");
}

} // namespace

std::string ReadWholeFile(const std::string& windowsPath) {
    std::ifstream file(std::filesystem::path(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

FolderLink::FolderLink(const std::string& link, const std::string& target) : link_(link) {
    if (const UnixNameOf unixNameOf = WineUnixNames()) {
        const size_t slash = link.rfind('\\');
        const std::string hostLink =
            UnixName(unixNameOf, link.substr(0, slash)) + "/" + link.substr(slash + 1);
        Run(HostProgram("/bin/ln") + " -s \"" + UnixName(unixNameOf, target) + "\" \"" + hostLink +
            "\"");
    } else {
        Run("cmd.exe /c mklink /J \"" + link + "\" \"" + target + "\" >nul");
    }
    made_ = WaitUntilPresent(link, true);
}

FolderLink::~FolderLink() {
    if (!made_) {
        return;
    }
    if (const UnixNameOf unixNameOf = WineUnixNames()) {
        const size_t slash = link_.rfind('\\');
        Run(HostProgram("/bin/rm") + " -f \"" + UnixName(unixNameOf, link_.substr(0, slash)) + "/" +
            link_.substr(slash + 1) + "\"");
    } else {
        RemoveDirectoryA(link_.c_str());
    }
    WaitUntilPresent(link_, false);
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

bool MakeStreamPipe(int ends[2]) {
    return _pipe(ends, 1 << 20, _O_BINARY | _O_NOINHERIT) == 0;
}

int CopyDescriptor(int fd) {
    return _dup(fd);
}

// The runtime hands descriptors 0 to 2 to the standard handles too (SetStdHandle).
void MoveDescriptor(int fd, int to) {
    _dup2(fd, to);
    _close(fd);
}

long ReadDescriptor(int fd, char* buffer, unsigned size) {
    return _read(fd, buffer, size);
}

bool WriteDescriptor(int fd, const std::string& data) {
    return _write(fd, data.data(), static_cast<unsigned>(data.size())) ==
           static_cast<int>(data.size());
}

void CloseDescriptor(int fd) {
    _close(fd);
}

void ResetStandardInput() {
    fflush(stdin);
    clearerr(stdin);
}

} // namespace testsupport
