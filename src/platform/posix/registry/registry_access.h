// What the registry functions share: the journal line and the faults every call starts with, the
// access a handle grants, and the walk that opens or creates a sub-key.
#pragma once

#include "platform/posix/core/test_controls.h"
#include "platform/posix/registry/registry_handles.h"

#include <string>
#include <vector>

namespace ovlayer {

const REGSAM kMaximumAllowed = 0x02000000;

// Records the call, then answers an injected failure or the registry's own failure (a damaged
// registry.reg), if any.
template <typename Describe> LONG Enter(Call call, Describe describe) {
    if (JournalRunning()) {
        Record(std::string(CallName(call)) + "(" + describe() + ")");
    }
    long injected;
    if (TakeInjectedFailure(call, &injected)) {
        return injected;
    }
    return RegistryStore::Get().Status();
}

// The handle's key for an operation that needs `needed` access; status otherwise.
LONG Use(HKEY key, REGSAM needed, const OpenKey** open);
// True when the key's root refuses writes, as for a restricted user.
bool Refuses(const RegKey* key);
// The sub-key path split into names, each checked against the longest name a key may have.
LONG SplitSubKey(const char* subKey, std::vector<std::string>* names);
// The shared work of the open and create functions; *result is null on failure. `options`:
// REG_OPTION_OPEN_LINK opens a link key itself, REG_OPTION_CREATE_LINK makes a new key a link.
LONG OpenOrCreate(HKEY key, const char* subKey, DWORD options, REGSAM desired, bool create,
                  PHKEY result, LPDWORD disposition);

} // namespace ovlayer
