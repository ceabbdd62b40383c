// The setup library stand-in's view of the machine: the installed components read from the
// registry (layout in maker/README.md) and their removal.
#pragma once

#include "platform/win32api.h"

#include <functional>
#include <string>
#include <vector>

namespace maker {

struct Component {
    std::string name;     // what the list shows: "Name", else the product key's name
    std::string key;      // below HKEY_CLASSES_ROOT
    std::string location; // "Location": the component's main file, possibly empty
    WORD valueA = 0;
    WORD valueB = 0;
    DWORD result = 0; // "Result": what Uninstall answers; not 0: nothing is removed
};

// Every component below HKEY_CLASSES_ROOT\Software\Orvane, ordered by product and component key
// name, letter case ignored.
std::vector<Component> ReadInstalledComponents();

// What the removal reports as it goes.
struct RemovalReport {
    std::function<void()> progress;
    std::function<void(const std::string&)> deferFile;
    std::function<void(const std::string&)> deferFolder;
    std::function<bool(const std::string&)> isProtected; // given the file's full path
};

// Removes the component's files, folders and keys, then its own key and the keys above it up to
// the product's that are left empty.
void RemoveComponent(const Component& component, const RemovalReport& report);

} // namespace maker
