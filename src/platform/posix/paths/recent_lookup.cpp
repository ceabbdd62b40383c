#include "platform/posix/paths/recent_lookup.h"

#include <utility>

#include "platform/posix/core/machine.h"

namespace ovlayer {
namespace {

struct Kept {
    bool held = false;
    bool watching = false; // dropped when the machine changes: its host paths are another's
    LookupSource source = LookupSource::kListing;
    std::string windowsPath;
    HostEntry entry;
};

Kept& TheKept() {
    static thread_local Kept kept;
    return kept;
}

} // namespace

void KeepLookup(LookupSource source, std::string windowsPath, const HostEntry& entry) {
    Kept& kept = TheKept();
    if (!kept.watching) {
        OnMachineChange(&ForgetLookup);
        kept.watching = true;
    }
    kept.held = true;
    kept.source = source;
    kept.windowsPath = std::move(windowsPath);
    kept.entry = entry;
}

void ForgetLookup() {
    TheKept().held = false;
}

DWORD FindHostEntryAfter(LookupSource source, const char* text, HostEntry* out,
                         WindowsPath* parsed) {
    Kept& kept = TheKept();
    if (kept.held && kept.source == source) {
        WindowsPath path;
        // A trailing separator asks for a folder: the full look-up judges that.
        if (ParseWindowsPath(text, &path) == ERROR_SUCCESS && !path.trailingSeparator &&
            path.Text() == kept.windowsPath) {
            kept.held = false;
            *out = std::move(kept.entry);
            if (parsed != nullptr) {
                *parsed = std::move(path);
            }
            return ERROR_SUCCESS;
        }
    }
    return FindHostEntry(text, out, parsed);
}

} // namespace ovlayer
