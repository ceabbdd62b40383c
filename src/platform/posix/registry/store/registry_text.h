// The text form of the registry that regedit imports and exports: a "REGEDIT4" (or "Windows
// Registry Editor Version 5.00") header line, then sections "[HKEY_...\Key]" ("[-HKEY_...\Key]"
// deletes the key with everything below it) with one value a line:
//   "Name"="text"   @="default value"   "N"=dword:0000001f   "B"=hex:01,02,\   (continued)
//   "E"=hex(2):25,00   "Gone"=-
// Texts escape \ and " with a backslash (and line ends as \n, \r). A line ";link" in a section
// makes its key a link key (REG_OPTION_CREATE_LINK); regedit takes it for a comment.
#pragma once

#include "platform/posix/registry/store/registry_tree.h"

#include <functional>
#include <string>
#include <vector>

namespace ovlayer {

enum class RegTextFormat { kRegedit4, kVersion5 };

struct RegTextError {
    int line = 0;
    std::string message;
};

// Reads a whole text (already in the machine's code page) into the changes it states, in order.
// A key name over 255 characters or a key over 512 levels deep is a fault, as Windows refuses
// them. Nothing is read past the first fault: false, with its line and what is wrong.
// A version 5 file gives the hex data of texts (hex(1), hex(2), hex(7)) in UTF-16LE:
// `unicodeText`, when given, turns such data into the machine's code page.
bool ParseRegText(const std::string& text, std::vector<RegOp>* ops, RegTextFormat* format,
                  RegTextError* error,
                  const std::function<std::string(const std::string&)>& unicodeText = nullptr);

// The same, handing each change to `take` as it is read (the changes before a fault included).
bool ScanRegText(const std::string& text, const std::function<void(const RegOp&)>& take,
                 RegTextFormat* format, RegTextError* error);

// The whole tree as REGEDIT4 text, keys in enumeration order; a key without values gets a section
// of its own only when it has no sub-keys (a sub-key's section makes it again), so that every key
// survives a round trip and a deep chain of keys is written once, not once a level. Texts that a
// quoted string cannot carry exactly (no terminator, an inner NUL, a line end) are written as
// hex(1).
std::string WriteRegText(const RegistryTree& tree);

// One key (named `path` in the text) and everything below it, without the header line; every key
// gets a section, as regedit exports them.
void WriteRegKey(const RegKey& key, const std::string& path, std::string* out);

} // namespace ovlayer
