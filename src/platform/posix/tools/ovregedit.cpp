// ovregedit: imports .reg files into the machine's registry and exports it, as regedit does
// under Wine for the end-to-end runner.
//
//   ovregedit /S file.reg          import (REGEDIT4 or version 5; ANSI, UTF-8 or UTF-16LE)
//   ovregedit /E file.reg [KEY]    export the whole registry, or KEY with everything below it,
//                                  as REGEDIT4 text with CR LF line ends
//
// The machine is the one OVUNINST_MACHINE names. A file with a fault imports nothing: the
// fault is reported with its line and the exit status is 1.
#include "platform/posix/console/code_page.h"
#include "platform/posix/core/machine.h"
#include "platform/posix/registry/store/registry_store.h"
#include "platform/posix/registry/store/registry_text.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

using namespace ovlayer;

namespace {

bool ReadFile(const char* path, std::string* text) {
    FILE* file = fopen(path, "rb");
    if (!file) {
        return false;
    }
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        text->append(buffer, got);
    }
    const bool read = !ferror(file);
    fclose(file);
    return read;
}

// regedit's files come as ANSI in the machine's code page, as UTF-8 with a byte order mark, or
// as UTF-16LE with one (what regedit itself exports).
std::string InCodePage(const std::string& raw) {
    if (raw.compare(0, 2, "\xFF\xFE") == 0) {
        return Utf16ToCodePage(raw.substr(2), MachineCodePage());
    }
    if (raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return Utf8ToCodePage(raw.substr(3), MachineCodePage());
    }
    return raw;
}

bool Usable(RegistryStore& store) {
    if (store.Status() != 0) {
        fprintf(stderr, "ovregedit: the registry of %s cannot be used\n", MachineFolder().c_str());
        return false;
    }
    return true;
}

int Import(const char* path) {
    std::string raw;
    if (!ReadFile(path, &raw)) {
        fprintf(stderr, "ovregedit: cannot read %s: %s\n", path, strerror(errno));
        return 1;
    }
    RegistryStore& store = RegistryStore::Get();
    if (!Usable(store)) {
        return 1;
    }
    std::vector<RegOp> ops;
    RegTextFormat format;
    RegTextError error;
    const unsigned codePage = MachineCodePage();
    if (!ParseRegText(InCodePage(raw), &ops, &format, &error, [codePage](const std::string& utf16) {
            return Utf16ToCodePage(utf16, codePage);
        })) {
        fprintf(stderr, "ovregedit: %s:%d: %s; nothing imported\n", path, error.line,
                error.message.c_str());
        return 1;
    }
    for (RegOp& op : ops) {
        store.Tree().Apply(op);
        store.Changed(std::move(op));
    }
    return store.Flush() ? 0 : 1;
}

int Export(const char* path, const char* keyPath) {
    RegistryStore& store = RegistryStore::Get();
    if (!Usable(store)) {
        return 1;
    }
    std::string text;
    if (!keyPath) {
        text = WriteRegText(store.Tree());
    } else {
        std::string name = keyPath;
        while (!name.empty() && name.back() == '\\') {
            name.pop_back();
        }
        std::shared_ptr<RegKey> key = store.Tree().Find(name);
        if (!key) {
            fprintf(stderr, "ovregedit: the key %s does not exist\n", keyPath);
            return 1;
        }
        text = "REGEDIT4\n\n";
        WriteRegKey(*key, name, &text);
    }
    std::string lines;
    lines.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            lines.push_back('\r');
        }
        lines.push_back(c);
    }
    FILE* file = fopen(path, "wb");
    if (!file || fwrite(lines.data(), 1, lines.size(), file) != lines.size() || fclose(file) != 0) {
        fprintf(stderr, "ovregedit: cannot write %s: %s\n", path, strerror(errno));
        return 1;
    }
    return 0;
}

bool IsSwitch(const char* argument, char letter) {
    return (argument[0] == '/' || argument[0] == '-') && (argument[1] | 0x20) == letter &&
           argument[2] == '\0';
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && IsSwitch(argv[1], 's')) {
        return Import(argv[2]);
    }
    if ((argc == 3 || argc == 4) && IsSwitch(argv[1], 'e')) {
        return Export(argv[2], argc == 4 ? argv[3] : nullptr);
    }
    fprintf(stderr, "usage: ovregedit /S file.reg\n       ovregedit /E file.reg [KEY]\n");
    return 2;
}
