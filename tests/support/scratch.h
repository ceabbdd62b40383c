// The scratch places of tests, on both builds: a folder and a registry key for the running test,
// named after it so that tests running side by side never meet, wiped when made and when dropped.
// Everything goes through Win32 and runtime calls, so the same test runs against the Linux layer
// and under Wine. (The Linux layer's own tests also make whole machines: scratch_machine.h.)
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32api.h"

namespace testsupport {

inline std::string TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        c = c == '/' ? '_' : c;
    }
    return name;
}

inline DWORD Attributes(const std::string& path) {
    return GetFileAttributesA(path.c_str());
}

inline bool IsFile(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

inline bool IsFolder(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Makes (or empties) a file holding `content`; read-only when asked.
inline bool WriteFile(const std::string& path, const std::string& content = "",
                      bool readOnly = false) {
    const int fd = _creat(path.c_str(), _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return false;
    }
    const int written =
        content.empty() ? 0 : _write(fd, content.data(), static_cast<unsigned>(content.size()));
    _close(fd);
    return written == static_cast<int>(content.size()) &&
           (!readOnly || _chmod(path.c_str(), _S_IREAD) == 0);
}

// The names in a folder, without "." and "..".
inline std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// Deletes a tree without the code under test; links are removed, never entered.
inline void Wipe(const std::string& path) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        _chmod(path.c_str(), _S_IREAD | _S_IWRITE);
        _unlink(path.c_str());
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        for (const std::string& name : Names(path)) {
            Wipe(path + "\\" + name);
        }
    }
    _rmdir(path.c_str());
}

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& base = "C:\\ovtest")
        : path_(base + "\\" + TestName()) {
        _mkdir(base.c_str());
        Wipe(path_);
        _mkdir(path_.c_str());
    }
    ~ScratchFolder() { Wipe(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// HKEY_CURRENT_USER "Software\OvuninstTest\<test>", made empty; deleted when dropped.
class ScratchKey {
public:
    ScratchKey() : path_(std::string("Software\\OvuninstTest\\") + TestName()) {
        Wipe(path_);
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_CURRENT_USER, path_.c_str(), &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
    }
    ~ScratchKey() { Wipe(path_); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    static bool Make(const std::string& path) {
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }
    static bool Exists(const std::string& path) {
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    // A registry link key at `link` naming HKEY_LOCAL_MACHINE\`machineKey`, whose kernel path
    // ("\Registry\Machine\...") is the same on every build.
    static bool MakeLink(const std::string& link, const std::string& machineKey) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, link.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        std::string target; // UTF-16LE, no terminator
        for (char c : "\\Registry\\Machine\\" + machineKey) {
            target += c;
            target += '\0';
        }
        const bool set = RegSetValueExA(key, "SymbolicLinkValue", 0, REG_LINK,
                                        reinterpret_cast<const BYTE*>(target.data()),
                                        static_cast<DWORD>(target.size())) == ERROR_SUCCESS;
        RegCloseKey(key);
        return set;
    }

    // Deletes a tree of `root` without the code under test; links are removed, never followed.
    static void Wipe(const std::string& path, HKEY root = HKEY_CURRENT_USER) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, MAXIMUM_ALLOWED, &key) !=
            ERROR_SUCCESS) {
            return;
        }
        char name[260];
        std::vector<std::string> children;
        for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
            children.push_back(name);
        }
        for (const std::string& child : children) {
            Wipe(path + "\\" + child, root);
        }
        NtDeleteKey(reinterpret_cast<HANDLE>(key));
        RegCloseKey(key);
    }

private:
    std::string path_;
};

// HKEY_LOCAL_MACHINE "Software\OvuninstTest\<test>": another vendor's keys, for links to name.
class ScratchMachineKey {
public:
    ScratchMachineKey() : path_(std::string("Software\\OvuninstTest\\") + TestName()) {
        ScratchKey::Wipe(path_, HKEY_LOCAL_MACHINE);
    }
    ~ScratchMachineKey() { ScratchKey::Wipe(path_, HKEY_LOCAL_MACHINE); }
    ScratchMachineKey(const ScratchMachineKey&) = delete;
    ScratchMachineKey& operator=(const ScratchMachineKey&) = delete;

    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    // Makes the key with a value "Kept"; true when both are there.
    static bool Make(const std::string& path) {
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key) != ERROR_SUCCESS) {
            return false;
        }
        const bool set = RegSetValueExA(key, "Kept", 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>("yes"), 4) == ERROR_SUCCESS;
        RegCloseKey(key);
        return set;
    }
    // The key is there and still holds its value.
    static bool Whole(const std::string& path) {
        char value[8] = "";
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key) != ERROR_SUCCESS) {
            return false;
        }
        DWORD bytes = sizeof value;
        const bool kept =
            RegQueryValueExA(key, "Kept", nullptr, nullptr, reinterpret_cast<LPBYTE>(value),
                             &bytes) == ERROR_SUCCESS;
        RegCloseKey(key);
        return kept && strcmp(value, "yes") == 0;
    }

private:
    std::string path_;
};

} // namespace testsupport
