// Makes registry keys readable but not writable, for the running Wine session only: the way a
// restricted user meets the maker's machine-wide key. Wine checks a key's own access rights
// when it is opened or created again, but not its parent's when a new key is created under it,
// so a key that is missing is created here (volatile, with any missing parents) and then given
// rights to read only. Volatile keys and the rights go with the wineserver; nothing is saved.
//
//     e2e_readonly_key.exe HKEY_CLASSES_ROOT\Software\Orvane [...]
#include <windows.h>
#include <sddl.h>
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

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Opens every part of the path, creating the missing ones as volatile keys.
LONG OpenOrCreateVolatile(HKEY root, const std::vector<std::string>& parts, HKEY* result) {
    HKEY current = root;
    bool creating = false;
    for (const std::string& part : parts) {
        HKEY next = nullptr;
        LONG status = ERROR_FILE_NOT_FOUND;
        if (!creating)
            status = RegOpenKeyExA(current, part.c_str(), 0, KEY_READ | WRITE_DAC, &next);
        if (status == ERROR_FILE_NOT_FOUND) {
            creating = true;
            status = RegCreateKeyExA(current, part.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                     KEY_ALL_ACCESS | WRITE_DAC, nullptr, &next, nullptr);
        }
        if (current != root)
            RegCloseKey(current);
        if (status != ERROR_SUCCESS)
            return status;
        current = next;
    }
    *result = current;
    return ERROR_SUCCESS;
}

// A protected access list that lets everyone read the key and nobody change it.
LONG AllowReadOnly(HKEY key) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return static_cast<LONG>(GetLastError());
    LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return status;
}

int MakeReadOnly(const std::string& path) {
    std::vector<std::string> parts = Split(path);
    HKEY root = parts.empty() ? nullptr : RootByName(parts[0]);
    if (root == nullptr || parts.size() < 2) {
        fprintf(stderr, "e2e_readonly_key: not a key under a root: %s\n", path.c_str());
        return 1;
    }
    parts.erase(parts.begin());
    HKEY key = nullptr;
    LONG status = OpenOrCreateVolatile(root, parts, &key);
    if (status == ERROR_SUCCESS) {
        status = AllowReadOnly(key);
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        fprintf(stderr, "e2e_readonly_key: %s: status %ld\n", path.c_str(), status);
        return 1;
    }
    // The proof that the session now refuses writes there, as the program will try them.
    status = RegOpenKeyExA(root, path.substr(path.find('\\') + 1).c_str(), 0, KEY_WRITE, &key);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
        fprintf(stderr, "e2e_readonly_key: %s still opens for writing\n", path.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: e2e_readonly_key KEY...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i)
        if (MakeReadOnly(argv[i]) != 0)
            return 1;
    return 0;
}
