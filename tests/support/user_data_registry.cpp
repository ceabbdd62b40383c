// <filesystem> before the platform header: the Linux layer's runtime names rename as a macro.
#include <filesystem>

#include "tests/support/user_data_registry.h"

#include "tests/support/machine_files.h"

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

Console::Console(const std::string& typed, const std::string& ahead) {
    fflush(stdout);
    setvbuf(stdout, nullptr, _IONBF, 0); // every prompt in the pipe before the answer is read
    int input[2];
    int output[2];
    if (!MakeStreamPipe(input) || !MakeStreamPipe(output)) {
        ADD_FAILURE() << "no pipes for the console";
        return;
    }
    savedInput_ = CopyDescriptor(0);
    savedOutput_ = CopyDescriptor(1);
    MoveDescriptor(input[0], 0);
    MoveDescriptor(output[1], 1);
    ResetStandardInput();
    answers_ = input[1];
    printed_ = output[0];
    EXPECT_TRUE(WriteDescriptor(answers_, ahead));
    watcher_ = std::thread([this, typed] { Watch(typed); });
}

// Reads what the program prints; types the answer once the question has been asked.
void Console::Watch(const std::string& typed) {
    char buffer[4096];
    long got;
    while ((got = ReadDescriptor(printed_, buffer, sizeof buffer)) > 0) {
        output_.append(buffer, static_cast<size_t>(got));
        const size_t last = output_.rfind('\n', output_.size() - 2);
        const size_t line = last == std::string::npos ? 0 : last + 1;
        if (answers_ >= 0 && output_.back() == '\n' &&
            output_.compare(line, 9, "Enter \"Y\"") == 0) {
            WriteDescriptor(answers_, typed);
            CloseDescriptor(answers_);
            answers_ = -1;
        }
    }
}

Console::~Console() {
    Output();
    if (savedInput_ >= 0) {
        MoveDescriptor(savedInput_, 0);
        ResetStandardInput();
    }
}

std::string Console::Output() {
    if (!capturing_ || savedOutput_ < 0) {
        return std::string();
    }
    capturing_ = false;
    fflush(stdout);
    MoveDescriptor(savedOutput_, 1); // the pipe's last write end: the watcher reads its end
    watcher_.join();
    CloseDescriptor(printed_);
    if (answers_ >= 0) {
        CloseDescriptor(answers_);
        answers_ = -1;
    }
    std::string lines;
    for (char c : output_) {
        if (c != '\r') {
            lines += c;
        }
    }
    return lines;
}

} // namespace testsupport
