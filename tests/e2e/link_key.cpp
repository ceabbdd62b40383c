// Makes registry link keys for a scenario, as a standard user may make them in his own hive:
// each a key made with REG_OPTION_CREATE_LINK whose REG_LINK value "SymbolicLinkValue" names
// another key by its kernel path. Built on every build: the Linux layer's registry, or Wine's.
//
//     e2e_link_key HKEY_CURRENT_USER\Software\Orvane\Shared \Registry\User\<SID>\Software\X [...]
#include "platform/win32api.h"

#include <stdio.h>

#include <string>

namespace {

HKEY RootOf(const std::string& path, std::string* below) {
    const size_t slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    *below = slash == std::string::npos ? "" : path.substr(slash + 1);
    if (root == "HKEY_CLASSES_ROOT") {
        return HKEY_CLASSES_ROOT;
    }
    if (root == "HKEY_CURRENT_USER") {
        return HKEY_CURRENT_USER;
    }
    return root == "HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE : nullptr;
}

bool MakeLink(const std::string& link, const std::string& target) {
    std::string below;
    const HKEY root = RootOf(link, &below);
    HKEY key = nullptr;
    if (root == nullptr || below.empty() ||
        RegCreateKeyExA(root, below.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        fprintf(stderr, "cannot make the link key %s\n", link.c_str());
        return false;
    }
    std::string utf16; // the kernel path as Windows stores it: UTF-16LE, no terminator
    for (const char c : target) {
        utf16 += c;
        utf16 += '\0';
    }
    const LONG status = RegSetValueExA(key, "SymbolicLinkValue", 0, REG_LINK,
                                       reinterpret_cast<const BYTE*>(utf16.data()),
                                       static_cast<DWORD>(utf16.size()));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        fprintf(stderr, "cannot point %s at %s: status %ld\n", link.c_str(), target.c_str(),
                static_cast<long>(status));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        fprintf(stderr, "usage: e2e_link_key <link key> <kernel path of its target> [...]\n");
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!MakeLink(argv[i], argv[i + 1])) {
            return 1;
        }
    }
    return 0;
}
