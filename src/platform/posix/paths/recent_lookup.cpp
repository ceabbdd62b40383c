#include "platform/posix/paths/recent_lookup.h"

#include <utility>

#include "platform/posix/core/machine.h"

namespace ovlayer {
namespace {

struct Kept {
    bool held = false;
    bool watching = false; // dropped when the machine changes: its host paths are another's
    LookupSource source = LookupSource::kListing;
    std::string text;
    HostEntry entry;
};

Kept& TheKept() {
    static thread_local Kept kept;
    return kept;
}

} // namespace

void KeepLookup(LookupSource source, std::string text, HostEntry entry) {
    Kept& kept = TheKept();
    if (!kept.watching) {
        OnMachineChange(&ForgetLookup);
        kept.watching = true;
    }
    kept.held = true;
    kept.source = source;
    kept.text = std::move(text);
    kept.entry = std::move(entry);
}

void ForgetLookup() {
    TheKept().held = false;
}

DWORD FindHostEntryAfter(LookupSource source, const char* text, HostEntry* out) {
    Kept& kept = TheKept();
    if (kept.held && kept.source == source && text != nullptr && kept.text == text) {
        kept.held = false;
        *out = std::move(kept.entry);
        return ERROR_SUCCESS;
    }
    return FindHostEntry(text, out);
}

} // namespace ovlayer
