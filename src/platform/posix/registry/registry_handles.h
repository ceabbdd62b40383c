// Open registry keys: what a key handle names, and the handle table.
//
// A handle names a key of the tree, or, under HKEY_CLASSES_ROOT, a view of two keys: the
// machine's copy (HKLM\Software\Classes\...) with the user's copy (HKCU\Software\Classes\...)
// over it. Through the view, values are read from and written to the user's copy when it exists
// and the machine's otherwise, sub-keys of both copies are listed together, and a new sub-key
// goes to the machine's copy (to the user's only when the machine has no copy of the parent).
#pragma once

#include "platform/posix/registry/store/registry_store.h"
#include "platform/posix/core/win32_types.h"

#include <memory>
#include <string>
#include <vector>

namespace ovlayer {

struct KeyView {
    std::shared_ptr<RegKey> machine; // the key itself, or the machine's copy under HKCR
    std::shared_ptr<RegKey> user;    // HKCR only: the user's copy, or null
    bool classes = false;

    bool Exists() const { return machine || user; }
    // The key whose values the handle reads and writes.
    RegKey* Top() const { return user && !user->Deleted() ? user.get() : machine.get(); }
    bool Deleted() const { return (!machine || machine->Deleted()) && (!user || user->Deleted()); }
};

// The sub-key reached by `names` from `parent`; !Exists() when there is none. A link key on the
// way is followed to the key its "SymbolicLinkValue" names ("\Registry\Machine\...",
// "\Registry\User\<SID>\..."), as is the key reached unless `openLink` asks for the link itself
// (REG_OPTION_OPEN_LINK). A link that names no key leads nowhere.
KeyView FindSubKey(const KeyView& parent, const std::vector<std::string>& names,
                   bool openLink = false);

// The sub-key reached by `names`, made where missing, links followed as FindSubKey follows them
// (a key a link names is made too); status 5 when the key that would receive a new sub-key
// refuses writes, 87 when the sub-key would lie deeper than the registry allows. With
// REG_OPTION_CREATE_LINK a new key is made a link key, and an existing one is status 183;
// REG_OPTION_OPEN_LINK opens an existing link itself.
LONG CreateSubKey(const KeyView& parent, const std::vector<std::string>& names, DWORD options,
                  KeyView* found, bool* created);

// Direct sub-keys of a view, in enumeration order (both copies merged under HKCR).
size_t SubKeyCount(const KeyView& view);
std::shared_ptr<RegKey> SubKeyAt(const KeyView& view, size_t index);

struct OpenKey {
    KeyView view;
    std::string path; // as the journal names the handle, e.g. "HKCR\Software\Orvane"
    REGSAM access = 0;
};

// The handle's key, or null for an unknown handle. The predefined roots are always open, with
// every access right.
const OpenKey* FindHandle(HKEY key);
HKEY AddHandle(OpenKey open);
bool RemoveHandle(HKEY key);
// How the journal names a handle.
std::string HandleName(HKEY key);

} // namespace ovlayer
