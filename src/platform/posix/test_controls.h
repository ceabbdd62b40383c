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

// The journal holds one line per call while it runs, "Function(arg, arg)" with texts unquoted
// and predefined roots written as HKCR, HKCU and HKLM.
void StartJournal();
void StopJournal();
std::vector<std::string> TakeJournal();
bool JournalRunning();
void Record(const std::string& line);

} // namespace ovlayer
