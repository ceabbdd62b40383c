// Process handles of the Linux layer, shared by kernel32's process functions and the built-in
// psapi.dll. A handle holds the process's identifier and a pidfd, so that it keeps naming the
// process it was opened on even after that process ends and its number is given to another.
#pragma once

#include "platform/posix/core/win32_types.h"

namespace ovlayer {

// The process behind `handle` when the handle is open and was granted every right in `access`.
// On failure the Win32 status (ERROR_INVALID_HANDLE or ERROR_ACCESS_DENIED) is stored in
// `status` and false is returned.
bool ProcessOfHandle(HANDLE handle, DWORD access, DWORD* processId, LONG* status);

// True while the process behind an open handle has not ended: what was read about it under /proc
// belongs to it, not to a later process with the same number.
bool ProcessStillRuns(HANDLE handle);

} // namespace ovlayer
