// The two error translations of the file functions, in one place: a failed host call becomes the
// Win32 status Windows gives for the same case, and a Win32 status becomes the errno value the
// Microsoft runtime sets for it. Errno values are named, not numbered: ENOTEMPTY is the host's
// constant (39 here, 41 in the Microsoft runtime), so product code compares against the macro.
#pragma once

#include "platform/posix/core/win32_types.h"

namespace ovlayer {

// Statuses the file functions give that the shared declarations do not name.
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorNotSupported = 50;
constexpr DWORD kErrorBadNetPath = 53;
constexpr DWORD kErrorDiskFull = 112;
constexpr DWORD kErrorDirectory = 267;

DWORD StatusFromHostErrno(int error);
// The same for a failed rmdir, whose EEXIST means a folder that is not empty.
DWORD StatusFromHostRmdirErrno(int error);
int CrtErrnoFromStatus(DWORD status);

} // namespace ovlayer
