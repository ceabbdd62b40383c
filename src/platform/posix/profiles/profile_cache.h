// The profile file last read or written, kept while its host file stays the same (device, file
// number, size and modification time), as Windows and Wine keep the profile files they read. A
// clean-up reading each of thousands of sections then parses the file once, not once a section.
#pragma once

#include <mutex>
#include <string>

#include "platform/posix/profiles/profile_file.h"

namespace ovlayer {

// Held by each profile function while it uses the cached file.
std::mutex& ProfileLock();

// The file at the Windows path `path` as it is now, read again only when it changed; a missing
// file reads as one with no sections. Null, with the Win32 status, when it cannot be read. The
// file stays valid until the next call.
ProfileFile* CachedProfile(const std::string& path, DWORD* status);

// Writes the cached file back to `path` and keeps it as what the host file now holds.
DWORD SaveCachedProfile(const std::string& path);

} // namespace ovlayer
