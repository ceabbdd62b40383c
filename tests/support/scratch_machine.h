// For the Linux layer's unit tests: a fresh machine in a temporary folder, used for the test's
// life (see scratch.h for the scratch folders and keys of tests on both builds).
#pragma once

#include "platform/posix/core/machine.h"
#include "platform/posix/registry/registry_api.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace testsupport {

class ScratchMachine {
public:
    // `registry`, when given, is the machine's registry.reg; otherwise the machine is made fresh.
    explicit ScratchMachine(const std::string& registry = "") {
        char pattern[] = "/tmp/ovuninst-scratch-machine-XXXXXX";
        folder_ = mkdtemp(pattern);
        if (!registry.empty()) {
            Write("registry.reg", registry);
        }
        ovlayer::UseMachine(folder_);
    }
    ~ScratchMachine() {
        ovlayer::UseMachine(""); // back to the default machine, not made until used
        system(("rm -rf '" + folder_ + "'").c_str());
    }
    ScratchMachine(const ScratchMachine&) = delete;
    ScratchMachine& operator=(const ScratchMachine&) = delete;

    const std::string& Folder() const { return folder_; }
    std::string Path(const std::string& name) const { return folder_ + "/" + name; }

    void Write(const std::string& name, const std::string& text) const {
        FILE* file = fopen(Path(name).c_str(), "wb");
        fwrite(text.data(), 1, text.size(), file);
        fclose(file);
    }
    std::string Read(const std::string& name) const {
        std::string text;
        if (FILE* file = fopen(Path(name).c_str(), "rb")) {
            char buffer[4096];
            size_t got;
            while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
                text.append(buffer, got);
            }
            fclose(file);
        }
        return text;
    }
    // Another process's write-back: the file replaced by a new one.
    void Replace(const std::string& name, const std::string& text) const {
        Write(name + ".other", text);
        rename(Path(name + ".other").c_str(), Path(name).c_str());
    }

private:
    std::string folder_;
};

// The host path of a path below drive C:, given with "/" separators.
inline std::string DriveC(const ScratchMachine& machine, const std::string& below = "") {
    return machine.Path("drive_c") + (below.empty() ? "" : "/" + below);
}

// Makes a host file (and its folders) holding `content`.
inline void HostFile(const std::string& path, const std::string& content = "") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << content;
}

// A text value as the registry functions give it back, "<no key>" or "<no value>" when missing.
inline std::string RegistryText(HKEY root, const char* path, const char* name) {
    HKEY key;
    if (RegOpenKeyA(root, path, &key) != ERROR_SUCCESS) {
        return "<no key>";
    }
    char data[256] = {};
    DWORD size = sizeof data;
    const LONG status =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::string(data) : "<no value>";
}

} // namespace testsupport
