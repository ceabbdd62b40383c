// Delete sharing: a file or folder opened without FILE_SHARE_DELETE (every file the runtime opens,
// and CreateFileA without that flag) cannot be deleted or renamed while it is open; Windows
// answers ERROR_SHARING_VIOLATION. The layer keeps the entries its own process holds open.
#pragma once

#include <sys/stat.h>

#include <cstdint>

#include "platform/posix/core/win32_types.h"

namespace ovlayer {

enum class Holder { kDescriptor, kHandle };

// The entry `info` describes is held by the runtime descriptor or the handle `id` until Release.
void HoldWithoutDeleteSharing(Holder kind, uintptr_t id, const struct stat& info);
void Release(Holder kind, uintptr_t id);

// ERROR_SHARING_VIOLATION when the entry is held open without delete sharing, else 0.
DWORD DeleteSharingStatus(const struct stat& info);

// ERROR_SHARING_VIOLATION when any process, this one included, has the host file open for
// writing, as a handle that refuses to share writing finds on Windows; else 0. Asked of the host
// itself (a read lease cannot be had on a file open for writing), so a writer outside the layer,
// such as a shell's redirection, counts too. Where the host cannot tell, 0.
DWORD WriteSharingStatus(const char* host);

} // namespace ovlayer
