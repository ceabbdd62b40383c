#include "setup/installed_components.h"

#include <algorithm>
#include <cstring>

namespace maker {

namespace {

const char kMakerKey[] = "Software\\Orvane";
const char kComponentsPath[] = "\\Preferences\\Components";

std::vector<std::string> SubKeys(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path.c_str(), &key) != ERROR_SUCCESS) {
        return names;
    }
    char name[MAX_PATH + 1];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

// Value names and texts of a key, sorted by name.
std::vector<std::pair<std::string, std::string>> Values(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> values;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) {
        return values;
    }
    char name[MAX_PATH + 1];
    BYTE data[MAX_PATH + 1];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = MAX_PATH, dataSize = MAX_PATH, type = REG_NONE;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        const char* text = reinterpret_cast<const char*>(data);
        values.emplace_back(std::string(name, nameSize),
                            type == REG_SZ ? std::string(text, strnlen(text, dataSize)) : "");
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    return values;
}

bool Less(const std::string& a, const std::string& b) {
    return _stricmp(a.c_str(), b.c_str()) < 0;
}

std::string Text(HKEY key, const char* name) {
    char data[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH, type = REG_NONE;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return "";
    }
    return std::string(data, strnlen(data, size));
}

DWORD Number(HKEY key, const char* name) {
    DWORD value = 0, size = sizeof value, type = REG_NONE;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return 0;
    }
    return value;
}

Component ReadComponent(const std::string& product, const std::string& path) {
    Component component;
    component.key = path;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key) == ERROR_SUCCESS) {
        component.name = Text(key, "Name");
        component.location = Text(key, "Location");
        component.valueA = static_cast<WORD>(Number(key, "ValueA"));
        component.valueB = static_cast<WORD>(Number(key, "ValueB"));
        component.result = Number(key, "Result");
        RegCloseKey(key);
    }
    if (component.name.empty()) {
        component.name = product;
    }
    return component;
}

std::string Folder(const std::string& location) {
    const size_t slash = location.rfind('\\');
    return slash == std::string::npos ? "" : location.substr(0, slash + 1);
}

bool IsAbsolute(const std::string& path) {
    return path.size() > 1 && path[1] == ':';
}

void DeleteTree(const std::string& path) {
    for (const std::string& child : SubKeys(HKEY_CLASSES_ROOT, path)) {
        DeleteTree(path + "\\" + child);
    }
    RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
}

bool IsEmptyKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD subKeys = 1, values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return subKeys == 0 && values == 0;
}

void RemoveFiles(const Component& component, const RemovalReport& report) {
    for (const auto& [name, how] : Values(component.key + "\\Files")) {
        const std::string path = IsAbsolute(name) ? name : Folder(component.location) + name;
        // Handed back unseen: a scale test lists far more paths than it can afford to make.
        const bool unseen = how == "handed back";
        if (!unseen && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            continue; // not installed: nothing to do
        }
        if (unseen || how == "in use" || report.isProtected(path) || !DeleteFileA(path.c_str())) {
            report.deferFile(name);
        }
        report.progress();
    }
}

// Deepest first: a folder's own entries sort after it, so the reverse order comes to them first.
void RemoveFolders(const Component& component, const RemovalReport& report) {
    auto folders = Values(component.key + "\\Folders");
    std::reverse(folders.begin(), folders.end());
    for (const auto& entry : folders) {
        const std::string& name = entry.first;
        const std::string path = IsAbsolute(name) ? name : Folder(component.location) + name;
        if (_rmdir(path.c_str()) != 0) {
            report.deferFolder(name);
        }
        report.progress();
    }
}

void RemoveKeys(const Component& component, const RemovalReport& report) {
    for (const auto& entry : Values(component.key + "\\Keys")) {
        DeleteTree(entry.first);
        report.progress();
    }
    DeleteTree(component.key);
    // The keys above, up to the product's, go when nothing else is left in them.
    std::string path = component.key;
    for (int level = 0; level < 4; ++level) {
        path = path.substr(0, path.rfind('\\'));
        if (!IsEmptyKey(path)) {
            break;
        }
        RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
    }
}

} // namespace

std::vector<Component> ReadInstalledComponents() {
    std::vector<Component> components;
    std::vector<std::string> products = SubKeys(HKEY_CLASSES_ROOT, kMakerKey);
    std::sort(products.begin(), products.end(), Less);
    for (const std::string& product : products) {
        const std::string productKey = std::string(kMakerKey) + "\\" + product;
        std::vector<std::string> versions = SubKeys(HKEY_CLASSES_ROOT, productKey);
        std::sort(versions.begin(), versions.end(), Less);
        for (const std::string& version : versions) {
            const std::string listKey = productKey + "\\" + version + kComponentsPath;
            std::vector<std::string> names = SubKeys(HKEY_CLASSES_ROOT, listKey);
            std::sort(names.begin(), names.end(), Less);
            for (const std::string& name : names) {
                components.push_back(ReadComponent(product, listKey + "\\" + name));
            }
        }
    }
    return components;
}

void RemoveComponent(const Component& component, const RemovalReport& report) {
    RemoveFiles(component, report);
    RemoveFolders(component, report);
    RemoveKeys(component, report);
}

} // namespace maker
