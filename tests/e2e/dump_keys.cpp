// Writes a key and every key below it, with every value's type and bytes exactly as the ANSI
// registry functions give them, as REGEDIT4 text with every value in hex(N) form: the export the
// undo file's round trip compares under Wine, whose regedit /E cuts a text at a zero inside it.
// The key's name is taken in this program's own view (the 32-bit one for the 32-bit build). A
// missing key writes no file, as regedit /E does.
//
//     e2e_dump_keys.exe <file> HKEY_CURRENT_USER\Software\Orvane
#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

HKEY RootByName(const std::string& name) {
    if (name == "HKEY_CLASSES_ROOT")
        return HKEY_CLASSES_ROOT;
    if (name == "HKEY_CURRENT_USER")
        return HKEY_CURRENT_USER;
    if (name == "HKEY_LOCAL_MACHINE")
        return HKEY_LOCAL_MACHINE;
    return nullptr;
}

std::string Quoted(const char* text) {
    std::string out = "\"";
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '"') {
            out += '\\';
            out += *p;
        } else if (*p == '\n') {
            out += "\\n";
        } else if (*p == '\r') {
            out += "\\r";
        } else {
            out += *p;
        }
    }
    return out + "\"";
}

bool Dump(HKEY key, const std::string& name, FILE* out) {
    fprintf(out, "[%s]\r\n", name.c_str());
    std::vector<BYTE> data(1 << 16);
    for (DWORD index = 0;;) {
        char value[16384];
        DWORD valueSize = sizeof value, type = 0, size = static_cast<DWORD>(data.size());
        const LONG status =
            RegEnumValueA(key, index, value, &valueSize, nullptr, &type, data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_MORE_DATA && size > data.size()) {
            data.resize(size);
            continue;
        }
        if (status != ERROR_SUCCESS) {
            fprintf(stderr, "e2e_dump_keys: %s: value %lu: status %ld\n", name.c_str(), index,
                    status);
            return false;
        }
        fprintf(out, "%s=hex(%lx):", valueSize == 0 ? "@" : Quoted(value).c_str(), type);
        for (DWORD i = 0; i < size; ++i) {
            fprintf(out, i == 0 ? "%02x" : ",%02x", data[i]);
        }
        fprintf(out, "\r\n");
        ++index;
    }
    fprintf(out, "\r\n");
    for (DWORD index = 0;; ++index) {
        char sub[512];
        DWORD subSize = sizeof sub;
        const LONG status =
            RegEnumKeyExA(key, index, sub, &subSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        }
        HKEY child;
        if (status != ERROR_SUCCESS || RegOpenKeyExA(key, sub, 0, KEY_READ, &child) != 0) {
            fprintf(stderr, "e2e_dump_keys: %s: sub-key %lu: status %ld\n", name.c_str(), index,
                    status);
            return false;
        }
        const bool dumped = Dump(child, name + "\\" + sub, out);
        RegCloseKey(child);
        if (!dumped) {
            return false;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: e2e_dump_keys <file> <key>\n");
        return 2;
    }
    const std::string path = argv[2];
    const size_t slash = path.find('\\');
    const HKEY root = RootByName(path.substr(0, slash));
    HKEY key;
    if (root == nullptr || slash == std::string::npos) {
        fprintf(stderr, "e2e_dump_keys: not a key below a root: %s\n", argv[2]);
        return 2;
    }
    if (RegOpenKeyExA(root, path.c_str() + slash + 1, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0; // no key, no file
    }
    FILE* out = fopen(argv[1], "wb");
    if (out == nullptr) {
        fprintf(stderr, "e2e_dump_keys: cannot write %s\n", argv[1]);
        return 1;
    }
    fprintf(out, "REGEDIT4\r\n\r\n");
    const bool dumped = Dump(key, path, out);
    RegCloseKey(key);
    fclose(out);
    if (!dumped) {
        remove(argv[1]);
        return 1;
    }
    return 0;
}
