// The look-up just made of one path, kept so that the call that follows on the same path does not
// make it again. A program deleting what it listed asks, per file, for the listing, then _chmod to
// clear the read-only attribute, then _unlink: three look-ups of one entry. The listing's look-up
// serves the attribute change (_chmod, SetFileAttributesA), and the attribute change's serves the
// deletion (_unlink, DeleteFileA), which never takes a listing's directly; nothing else takes a
// kept look-up, and any other look-up of a path drops it, so it is never older than the call just
// before. A look-up is kept under the path's text as the next call is expected to give it,
// and serves only that same text: another spelling looks the path up again.
#pragma once

#include <string>

#include "platform/posix/paths/path_map.h"

namespace ovlayer {

// Who made the kept look-up: a listing reporting an entry, or an attribute change.
enum class LookupSource { kListing, kAttributes };

// Keeps `entry`, found for the path `text`.
void KeepLookup(LookupSource source, std::string text, HostEntry entry);
// Drops the kept look-up.
void ForgetLookup();

// FindHostEntry, answered from the look-up kept by `source` when it was kept under the same text
// (which it drops: it serves once).
DWORD FindHostEntryAfter(LookupSource source, const char* text, HostEntry* out);

} // namespace ovlayer
