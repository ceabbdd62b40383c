// Controls of the Linux layer for tests: make the next calls of a named function fail, and keep
// a journal of the calls made. Product code never uses them.
#pragma once

#include <string>
#include <vector>

namespace ovlayer {

// The functions of the layer a test can make fail, each under its Win32 or runtime name. A fault
// names one of these, so a misspelt name does not compile, and each of them asks for its fault on
// every call.
// clang-format off
#define OVLAYER_FAILABLE_CALLS(X)                                                                  \
    /* registry */                                                                                 \
    X(RegOpenKeyA) X(RegOpenKeyExA) X(RegCreateKeyA) X(RegCreateKeyExA) X(RegCloseKey)             \
    X(RegDeleteKeyA) X(RegEnumKeyA) X(RegEnumKeyExA) X(RegQueryInfoKeyA) X(RegQueryValueA)        \
    X(RegQueryValueExA) X(RegSetValueA) X(RegSetValueExA) X(RegDeleteValueA) X(RegEnumValueA)      \
    X(NtDeleteKey)                                                                                 \
    /* files and folders */                                                                        \
    X(FindFirstFileA) X(FindNextFileA) X(FindClose) X(DeleteFileA) X(GetDriveTypeA)               \
    X(GetDiskFreeSpaceA) X(GetWindowsDirectoryA) X(GetSystemDirectoryA) X(GetFileAttributesA)     \
    X(GetTempPathA) X(SetFileAttributesA) X(CreateDirectoryA) X(CreateFileA)                     \
    X(GetFileInformationByHandle) X(CopyFileA) X(PeekNamedPipe) X(ReadFile)                       \
    /* the runtime's file functions */                                                             \
    X(_stat) X(_unlink) X(_rmdir) X(_mkdir) X(_chdir) X(_getcwd) X(_chmod) X(rename) X(_creat)     \
    X(_write) X(_close) X(_lseek) X(_chsize)                                                       \
    /* modules and processes */                                                                    \
    X(LoadLibraryA) X(GetProcAddress) X(FreeLibrary) X(GetModuleFileNameA) X(GetVersionExA)        \
    X(OpenProcess) X(TerminateProcess)                                                             \
    /* profile files */                                                                            \
    X(GetPrivateProfileSectionNamesA) X(GetPrivateProfileSectionA) X(WritePrivateProfileSectionA)
// clang-format on

enum class Call {
#define OVLAYER_CALL_ENUMERATOR(name) name,
    OVLAYER_FAILABLE_CALLS(OVLAYER_CALL_ENUMERATOR)
#undef OVLAYER_CALL_ENUMERATOR
};

// The function's name, as the journal and failure messages write it.
const char* CallName(Call call);

// The next `times` calls of `call` fail with `status`: a Win32 status for Win32 functions, an
// errno value for runtime functions.
void FailNextCall(Call call, long status, int times = 1);
// Drops the faults still pending; those no call took stay on the list below.
void ClearInjectedFailures();

// Called by the layer at the top of each function: true, with the status to report, when a
// failure is pending for it.
bool TakeInjectedFailure(Call call, long* status);

// The faults armed since the last call of which no call took a single one, one name each, and
// the list emptied. The test programs ask after every test and fail the test that armed such a
// fault: it would pass without the failure it meant to cause.
std::vector<std::string> TakeUnconsumedFailures();

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
//   RegEnumValueA(HKCU\Software\X, 0)            NtDeleteKey(HKCU\Software\X\Link)
// (access masks in upper-case hex, value types and indexes in decimal). Every call is recorded,
// including those that fail or whose failure was injected.
void StartJournal();
void StopJournal();
std::vector<std::string> TakeJournal();
bool JournalRunning();
// Adds the line while the journal runs.
void Record(const std::string& line);
// How journal lines write their arguments: a text as it stands or (null); a number in hex, with
// upper-case digits unless asked otherwise.
std::string JournalText(const char* text);
std::string JournalHex(unsigned long number, bool upperCase = true);

// Registry: keys below `root` ("HKEY_LOCAL_MACHINE" or "HKLM", "HKEY_CURRENT_USER" or "HKCU",
// "HKEY_USERS" or "HKU") refuse writes with status 5, as for a restricted user, or accept them
// again. The same as listing the root in the machine folder's readonly-roots file, which is read
// when the registry is loaded; both are dropped by UseMachine.
void RefuseRegistryWrites(const std::string& root, bool refuse = true);

// Registry: write back now what this process changed, as at exit; false (reason on stderr) when
// it could not be written. Nothing is written when nothing changed.
bool FlushRegistry();

} // namespace ovlayer
