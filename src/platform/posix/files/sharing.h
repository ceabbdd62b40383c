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

} // namespace ovlayer
