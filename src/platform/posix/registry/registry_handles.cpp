#include "platform/posix/registry/registry_handles.h"

#include "platform/posix/console/code_page.h"
#include "platform/posix/core/machine.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <unordered_map>

namespace ovlayer {

namespace {

struct HandleTable {
    std::unordered_map<uintptr_t, OpenKey> open;
    uintptr_t next = 0x1000;
    OpenKey root; // the predefined root asked for last
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable; // handles may be closed by static destructors
    return *table;
}

void ForgetHandles() {
    Table().open.clear();
    Table().root = OpenKey();
}

// After a write-back merged another process's registry in, each handle names the same key of
// the new tree; a key that process deleted stays with the old tree and reads as deleted.
void Rebind(RegistryTree& fresh) {
    auto moved = [&fresh](std::shared_ptr<RegKey>& key) {
        if (key && !key->Deleted()) {
            if (std::shared_ptr<RegKey> found = fresh.Find(key->Path())) {
                key = found;
            }
        }
    };
    for (auto& entry : Table().open) {
        moved(entry.second.view.machine);
        moved(entry.second.view.user);
    }
}

struct Registration {
    Registration() { OnMachineChange(&ForgetHandles); }
};

bool RootView(HKEY key, KeyView* view, const char** name) {
    RegistryStore& store = RegistryStore::Get();
    RegistryTree& tree = store.Tree();
    *view = KeyView();
    if (key == HKEY_CLASSES_ROOT) {
        view->machine = store.MachineClasses();
        view->user = store.UserClasses();
        view->classes = true;
        *name = "HKCR";
    } else if (key == HKEY_CURRENT_USER) {
        view->machine = tree.Root(kCurrentUser);
        *name = "HKCU";
    } else if (key == HKEY_LOCAL_MACHINE) {
        view->machine = tree.Root(kLocalMachine);
        *name = "HKLM";
    } else if (key == HKEY_USERS) {
        view->machine = tree.Root(kUsers);
        *name = "HKU";
    } else {
        return false;
    }
    return true;
}

} // namespace

namespace {

// Windows stops following links after this many; the open then finds nothing.
constexpr int kMaxLinkHops = 16;
const char kLinkValue[] = "SymbolicLinkValue";

KeyView Walk(const KeyView& parent, const std::vector<std::string>& names, bool openLink,
             int* hops);
LONG WalkCreating(const KeyView& parent, const std::vector<std::string>& names, DWORD options,
                  int* hops, KeyView* found, bool* created);

bool StartsWithNoCase(const std::string& text, const char* prefix, size_t* rest) {
    const size_t length = strlen(prefix);
    if (text.size() < length || strncasecmp(text.c_str(), prefix, length) != 0 ||
        (text.size() > length && text[length] != '\\')) {
        return false;
    }
    *rest = length;
    return true;
}

// The root and names of the key a link names, from its value: UTF-16LE text without a
// terminator, as Windows stores it. False when the value names no key of the machine.
bool LinkTargetPath(const RegKey& link, KeyView* root, std::vector<std::string>* names) {
    const RegValue* value = link.Value(kLinkValue);
    if (!value || value->type != REG_LINK) {
        return false;
    }
    const std::string target = Utf16ToCodePage(value->data, MachineCodePage());
    RegistryTree& tree = RegistryStore::Get().Tree();
    size_t rest;
    std::string path;
    *root = KeyView();
    if (StartsWithNoCase(target, "\\Registry\\Machine", &rest)) {
        root->machine = tree.Root(kLocalMachine);
        path = target.substr(rest);
    } else if (StartsWithNoCase(target, "\\Registry\\User", &rest)) {
        path = target.substr(rest);
        const size_t end = path.find('\\', 1);
        const std::string sid = path.substr(1, end == std::string::npos ? end : end - 1);
        if (strcasecmp(sid.c_str(), kUserSid) == 0) {
            root->machine = tree.Root(kCurrentUser);
            path = end == std::string::npos ? "" : path.substr(end);
        } else {
            root->machine = tree.Root(kUsers);
        }
    } else {
        return false;
    }
    return SplitKeyPath(path.empty() ? path : path.substr(1), names);
}

// The view itself, or what the link it is stands for.
KeyView Followed(const KeyView& view, int* hops) {
    if (!view.Exists() || !view.Top()->IsLink()) {
        return view;
    }
    KeyView root;
    std::vector<std::string> names;
    if (++*hops > kMaxLinkHops || !LinkTargetPath(*view.Top(), &root, &names)) {
        return KeyView();
    }
    return Walk(root, names, false, hops);
}

KeyView Walk(const KeyView& parent, const std::vector<std::string>& names, bool openLink,
             int* hops) {
    // A path below a link's handle goes on from what the link names.
    KeyView view = names.empty() ? parent : Followed(parent, hops);
    for (size_t i = 0; i < names.size() && view.Exists(); ++i) {
        if (view.machine) {
            view.machine = view.machine->Child(names[i]);
        }
        if (view.user) {
            view.user = view.user->Child(names[i]);
        }
        if (i + 1 < names.size() || !openLink) {
            view = Followed(view, hops);
        }
    }
    return view;
}

// What the link `view` is stands for, made when missing (`created` then set).
LONG CreateFollowed(KeyView* view, int* hops, bool* created) {
    if (!view->Exists() || !view->Top()->IsLink()) {
        return ERROR_SUCCESS;
    }
    KeyView root;
    std::vector<std::string> names;
    if (++*hops > kMaxLinkHops || !LinkTargetPath(*view->Top(), &root, &names)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return WalkCreating(root, names, 0, hops, view, created);
}

LONG WalkCreating(const KeyView& parent, const std::vector<std::string>& names, DWORD options,
                  int* hops, KeyView* found, bool* created) {
    KeyView view = parent;
    *created = false;
    bool made = false;
    if (!names.empty()) {
        if (LONG status = CreateFollowed(&view, hops, &made)) {
            return status;
        }
    }
    // Refused before anything is made, so that a path too deep leaves no part of itself.
    const RegKey* top = view.Top();
    if (top && top->Depth() + names.size() > kMaxKeyDepth) {
        return ERROR_INVALID_PARAMETER;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        KeyView next = Walk(view, {names[i]}, true, hops);
        if (!next.Exists()) {
            const std::shared_ptr<RegKey>& home = view.machine ? view.machine : view.user;
            if (RegistryStore::Get().Refuses(home->Root())) {
                return ERROR_ACCESS_DENIED;
            }
            std::shared_ptr<RegKey>& made = view.machine ? next.machine : next.user;
            made = home->AddChild(names[i]);
            if (!made) {
                return ERROR_INVALID_PARAMETER;
            }
            if (last && (options & REG_OPTION_CREATE_LINK)) {
                made->MakeLink();
            }
            *created = last;
        } else if (last && (options & REG_OPTION_CREATE_LINK)) {
            return ERROR_ALREADY_EXISTS;
        } else if (!last || !(options & REG_OPTION_OPEN_LINK)) {
            made = false;
            if (LONG status = CreateFollowed(&next, hops, &made)) {
                return status;
            }
            *created = last && made;
        }
        view = next;
    }
    *found = view;
    return ERROR_SUCCESS;
}

} // namespace

KeyView FindSubKey(const KeyView& parent, const std::vector<std::string>& names, bool openLink) {
    int hops = 0;
    return Walk(parent, names, openLink, &hops);
}

LONG CreateSubKey(const KeyView& parent, const std::vector<std::string>& names, DWORD options,
                  KeyView* found, bool* created) {
    int hops = 0;
    return WalkCreating(parent, names, options, &hops, found, created);
}

// Walks the sub-keys of both copies in merged order, a name present in both once, until `visit`
// returns true; gives the number of sub-keys visited.
template <typename Visit> size_t WalkMerged(RegKey& machine, RegKey& user, Visit visit) {
    size_t m = 0;
    size_t u = 0;
    size_t at = 0;
    for (;; ++at) {
        const std::string* mName = machine.FoldedChildNameAt(m);
        const std::string* uName = user.FoldedChildNameAt(u);
        if (!mName && !uName) {
            return at;
        }
        const bool takeUser = uName && (!mName || *uName <= *mName);
        if (visit(takeUser ? user.ChildAt(u) : machine.ChildAt(m))) {
            return at;
        }
        if (takeUser && mName && *uName == *mName) {
            ++m;
        }
        ++(takeUser ? u : m);
    }
}

bool BothHaveSubKeys(const KeyView& view) {
    return view.machine && view.user && view.machine->ChildCount() > 0 &&
           view.user->ChildCount() > 0;
}

size_t SubKeyCount(const KeyView& view) {
    if (BothHaveSubKeys(view)) {
        return WalkMerged(*view.machine, *view.user,
                          [](const std::shared_ptr<RegKey>&) { return false; });
    }
    return (view.machine ? view.machine->ChildCount() : 0) +
           (view.user ? view.user->ChildCount() : 0);
}

// A plain key is indexed directly; only a view whose two copies both have sub-keys is walked.
std::shared_ptr<RegKey> SubKeyAt(const KeyView& view, size_t index) {
    if (BothHaveSubKeys(view)) {
        std::shared_ptr<RegKey> found;
        size_t at = 0;
        WalkMerged(*view.machine, *view.user, [&](const std::shared_ptr<RegKey>& key) {
            if (at++ == index) {
                found = key;
                return true;
            }
            return false;
        });
        return found;
    }
    if (view.machine && view.machine->ChildCount() > 0) {
        return view.machine->ChildAt(index);
    }
    return view.user ? view.user->ChildAt(index) : nullptr;
}

const OpenKey* FindHandle(HKEY key) {
    static Registration registration;
    HandleTable& table = Table();
    const char* name;
    if (RootView(key, &table.root.view, &name)) {
        table.root.path = name;
        table.root.access = KEY_ALL_ACCESS;
        return &table.root;
    }
    auto it = table.open.find(reinterpret_cast<uintptr_t>(key));
    return it == table.open.end() ? nullptr : &it->second;
}

HKEY AddHandle(OpenKey open) {
    static Registration registration;
    RegistryStore::Get().OnTreeReplaced(&Rebind);
    HandleTable& table = Table();
    const uintptr_t handle = table.next;
    table.next += 4;
    table.open.emplace(handle, std::move(open));
    return reinterpret_cast<HKEY>(handle);
}

bool RemoveHandle(HKEY key) {
    return Table().open.erase(reinterpret_cast<uintptr_t>(key)) > 0;
}

std::string HandleName(HKEY key) {
    if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
        key == HKEY_USERS) {
        static const char* const kNames[] = {"HKCR", "HKCU", "HKLM", "HKU"};
        return kNames[reinterpret_cast<uintptr_t>(key) & 3];
    }
    auto it = Table().open.find(reinterpret_cast<uintptr_t>(key));
    if (it != Table().open.end()) {
        return it->second.path;
    }
    char text[40];
    snprintf(text, sizeof text, "<handle %p>", static_cast<void*>(key));
    return text;
}

} // namespace ovlayer
