// The machine's drives. C: is the folder drive_c of the machine. Every other letter x is a
// symbolic link dosdevices/x: (lower-case letter) to the drive's folder, and its type is the one
// word in the text file dosdevices/x:.type: "fixed", "removable", "cdrom", "remote" or "ramdisk"
// ("fixed" when the file is absent). A link whose target is not a folder is no drive.
// The host's root is a drive only when the machine asks for it: its file host-root holds the
// letter (as a Wine prefix has Z:); that drive's link is then made on first use. The end-to-end
// runner and the demo do not ask, so no path the program reads can reach the host's own files.
#pragma once

#include <string>

#include "platform/posix/core/win32_types.h"

namespace ovlayer {

// The host folder of a drive letter (either case); empty when the machine has no such drive.
std::string DriveFolder(char letter);

// DRIVE_FIXED, DRIVE_REMOVABLE, ...; DRIVE_NO_ROOT_DIR when the machine has no such drive.
UINT DriveTypeOf(char letter);

// Makes (or re-points) drive `letter` at host folder `folder` with a type word as above. For tests
// and machine set-up; false when the letter or type is not one the layer knows.
bool AddDrive(char letter, const std::string& folder, const std::string& type);

} // namespace ovlayer
