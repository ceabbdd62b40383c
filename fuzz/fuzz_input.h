// Reading a fuzzer's bytes as a stream of small decisions, and the machine a target plays on.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

namespace fuzzing {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    // Up to `most` bytes, none of them NUL (texts here are terminated).
    std::string Text(size_t most) {
        const size_t count = Byte() % (most + 1);
        std::string text;
        for (size_t i = 0; i < count && !Empty(); ++i) {
            const char c = static_cast<char>(Byte());
            text.push_back(c == '\0' ? 'x' : c);
        }
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A fault the target finds: reported and fatal, so that libFuzzer keeps the input.
[[noreturn]] inline void Fault(const char* what) {
    fprintf(stderr, "fuzz fault: %s\n", what);
    abort();
}

// A machine of the Linux layer in a temporary folder, made before the first input, with the
// given ANSI code page (1252, or 932 for double-byte texts).
inline void UseScratchMachine(const char* codePage) {
    char pattern[] = "/tmp/ovuninst-fuzz-machine-XXXXXX";
    if (!mkdtemp(pattern)) {
        Fault("no temporary folder");
    }
    const std::string folder = pattern;
    const std::string registry =
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
        "\"ProgramFilesDir\"=\"C:\\\\Program Files (x86)\"\n"
        "\"CommonFilesDir\"=\"C:\\\\Program Files (x86)\\\\Common Files\"\n\n"
        "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\CodePage]\n"
        "\"ACP\"=\"" +
        std::string(codePage) + "\"\n";
    FILE* file = fopen((folder + "/registry.reg").c_str(), "wb");
    if (!file) {
        Fault("no registry file");
    }
    fputs(registry.c_str(), file);
    fclose(file);
    setenv("OVUNINST_MACHINE", folder.c_str(), 1);
}

} // namespace fuzzing
