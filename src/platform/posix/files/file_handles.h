// Handles of files and folders opened by CreateFileA, shared with CloseHandle, which closes every
// kind of handle the layer gives.
#pragma once

#include "platform/posix/core/win32_types.h"

namespace ovlayer {

// Closes a handle CreateFileA gave; false when `handle` is not one (it may be a process's).
bool CloseFileHandle(HANDLE handle);

} // namespace ovlayer
