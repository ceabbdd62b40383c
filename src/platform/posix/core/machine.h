// The machine the Linux layer plays: a folder like a Wine prefix, named by OVUNINST_MACHINE
// (default ~/.local/share/ovuninst/machine), made on first use with the folders and registry
// values of a fresh Windows.
//
// Layout of a machine folder:
//   registry.reg      the registry (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS), REGEDIT4
//   registry.lock     taken (flock) while the registry is read or written back
//   readonly-roots    optional: root names, one a line ("HKEY_LOCAL_MACHINE" or "HKLM", ...),
//                     whose keys refuse writes, as for a restricted user
//   drive_c/          drive C:, with windows/system32, Program Files, Program Files (x86)/Common
//                     Files and users/<name>
//   dosdevices/       further drive letters
//   host-root         optional: a drive letter ("z") that names the host's root, as in a Wine
//                     prefix; without it no drive reaches the host's own files
#pragma once

#include <string>

namespace ovlayer {

// The Windows and system folders as a 32-bit program sees them on a 64-bit Wine prefix.
extern const char* const kWindowsFolder;      // "C:\windows"
extern const char* const kSystemFolder;       // "C:\windows\system32"
extern const char* const kProgramFilesFolder; // "C:\Program Files (x86)"
extern const char* const kCommonFilesFolder;  // "C:\Program Files (x86)\Common Files"

// The machine folder, made (with drive_c and registry.reg) on first use.
const std::string& MachineFolder();

// MachineFolder() + "/" + name.
std::string MachinePath(const std::string& name);

// The user the machine is set up for (the Unix login name, as Wine names the profile folder).
std::string MachineUserName();
// That user's security identifier, as Wine gives its one user ("S-1-5-21-0-0-0-1000"): the name
// of the user's hive below \Registry\User and of the user's profile under ProfileList.
extern const char* const kUserSid;

// Tests: drop everything loaded from the current machine and use `folder` from now on (an empty
// name: the default machine again). Pending registry changes of the old machine are discarded,
// not written.
void UseMachine(const std::string& folder);

// Each part of the layer that caches machine state registers how to drop it.
void OnMachineChange(void (*forget)());

} // namespace ovlayer
