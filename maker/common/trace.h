// What every stand-in of the maker's libraries shares: the call trace and the failure switches,
// both steered by environment variables so that a test or the demo sets them before the program
// loads the library.
//
//   OVUNINST_MAKER_TRACE  a file to which each library appends one line per call made into it,
//                         "<library>: <call>"; unset, nothing is written.
//   OVUNINST_MAKER_FAIL   switch words separated by commas (see maker/README.md); each makes one
//                         call of a library fail in one way.
#pragma once

#include "platform/win32api.h"

#include <string>

namespace maker {

// Appends "<library>: <line>" to the trace file, if one is named.
void Trace(const char* library, const std::string& line);

// True when `word` is one of the switch words of OVUNINST_MAKER_FAIL.
bool Switched(const char* word);

// An access-path block ("name=folder" NUL ... NUL NUL) as one line: its entries joined by "|".
std::string BlockText(const char* block);

// An identifier in the registry notation, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidText(const GUID& id);

// Writes "load" when a library is mapped and "unload" when it is unmapped: one static object per
// library.
class LifetimeTrace {
public:
    explicit LifetimeTrace(const char* library);
    ~LifetimeTrace();
    LifetimeTrace(const LifetimeTrace&) = delete;
    LifetimeTrace& operator=(const LifetimeTrace&) = delete;

private:
    const char* library_;
};

} // namespace maker
