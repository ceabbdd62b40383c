// <filesystem> before the platform header: the Linux layer's runtime names rename as a macro.
#include <filesystem>

#include "tests/support/user_data_registry.h"

#include "registry/registry_key.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace testsupport {
namespace {

void DeleteTree(HKEY root, const char* parent, const char* child) {
    RegistryKey key;
    key.SetRootKey(root);
    key.SetSubKey(parent);
    key.SetAccessMask(KEY_ALL_ACCESS);
    if (SUCCEEDED(key.Open())) {
        key.DeleteSubKey(child);
        key.Close();
    }
}

} // namespace

void WipeUserDataKeys() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        DeleteTree(root, "Software\\Orvane", "LumoCrate");
        DeleteTree(root, "Software\\Orvane", "Tunelane-OV");
    }
    DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane\\Preferences", "UserDataPath");
    DeleteTree(HKEY_LOCAL_MACHINE, "Software", "Tunelane-OV");
}

void SetBytes(HKEY root, const std::string& path, const char* valueName, const void* data,
              DWORD size, DWORD type) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, path.c_str(), &key)) << path;
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

void SetText(HKEY root, const std::string& path, const char* valueName, const std::string& text,
             DWORD type) {
    SetBytes(root, path, valueName, text.c_str(), static_cast<DWORD>(text.size() + 1), type);
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path.c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool ReadValue(HKEY root, const std::string& path, const char* valueName, DWORD* type,
               std::string* data) {
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path.c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[1024];
    DWORD size = sizeof buffer;
    const LONG status =
        RegQueryValueExA(key, valueName, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    data->assign(buffer, size);
    return true;
}

Console::Console(const std::string& typed) {
    // Named by process as well, since test processes run side by side and share the folder.
    static int serial = 0;
    file_ = (std::filesystem::temp_directory_path() /
             ("ovuninst-answers-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++serial) + ".txt"))
                .string();
    FILE* answers = fopen(file_.c_str(), "wb");
    if (answers != nullptr) {
        fwrite(typed.data(), 1, typed.size(), answers);
        fclose(answers);
    }
    EXPECT_NE(nullptr, freopen(file_.c_str(), "rb", stdin));
    testing::internal::CaptureStdout();
}

Console::~Console() {
    Output();
    std::remove(file_.c_str());
}

std::string Console::Output() {
    if (!capturing_) {
        return std::string();
    }
    capturing_ = false;
    std::string output = testing::internal::GetCapturedStdout();
    std::string lines;
    for (char c : output) {
        if (c != '\r') {
            lines += c;
        }
    }
    return lines;
}

} // namespace testsupport
