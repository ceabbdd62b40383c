// Controls of the Linux layer for tests: make the next calls of a named function fail, and keep
// a journal of the calls made. Product code never uses them.
#pragma once

#include <string>
#include <vector>

namespace ovlayer {

// The next `times` calls of `function` (its Win32 or runtime name) fail with `status`: a Win32
// status for Win32 functions, an errno value for runtime functions.
void FailNextCall(const std::string& function, long status, int times = 1);
void ClearInjectedFailures();

// Called by the layer at the top of each function: true, with the status to report, when a
// failure is pending for it.
bool TakeInjectedFailure(const char* function, long* status);

// The journal holds one line per call while it runs, "Function(arg, arg)" with texts unquoted,
// a null text written as (null), and predefined roots written as HKCR, HKCU, HKLM and HKU.
// A key handle is written as the full path it was opened by: the root, then each sub-key path
// handed to the open or create calls that led to it, joined by backslashes, as the caller spelt
// them (trailing backslashes dropped); an unknown handle as <handle 0x...>. The registry lines:
//   RegOpenKeyA(HKCR, Software\Orvane)           RegOpenKeyExA(HKCR, Software\Orvane, 0x2001F)
//   RegCreateKeyA(HKCR\Software\Orvane, test)    RegCreateKeyExA(HKCU, Software\X, 0x2001F)
//   RegCloseKey(HKCR\Software\Orvane\test)      RegDeleteKeyA(HKCR\Software\Orvane, test)
//   RegEnumKeyA(HKCU\Software\X, 2)              RegEnumKeyExA(HKCU\Software\X, 0)
//   RegQueryInfoKeyA(HKCU\Software\X)            RegQueryValueA(HKCU\Software\X, Sub)
//   RegQueryValueExA(HKCU\Software\X, Name)      RegSetValueA(HKCU\Software\X, Sub)
//   RegSetValueExA(HKCU\Software\X, Name, 1)     RegDeleteValueA(HKCU\Software\X, Name)
//   RegEnumValueA(HKCU\Software\X, 0)
// (access masks in upper-case hex, value types and indexes in decimal). Every call is recorded,
// including those that fail or whose failure was injected.
void StartJournal();
void StopJournal();
std::vector<std::string> TakeJournal();
bool JournalRunning();
void Record(const std::string& line);

// Registry: keys below `root` ("HKEY_LOCAL_MACHINE" or "HKLM", "HKEY_CURRENT_USER" or "HKCU",
// "HKEY_USERS" or "HKU") refuse writes with status 5, as for a restricted user, or accept them
// again. The same as listing the root in the machine folder's readonly-roots file, which is read
// when the registry is loaded; both are dropped by UseMachine.
void RefuseRegistryWrites(const std::string& root, bool refuse = true);

// Registry: write back now what this process changed, as at exit; false (reason on stderr) when
// it could not be written. Nothing is written when nothing changed.
bool FlushRegistry();

} // namespace ovlayer
