// The keys and values of the registry in memory: three real roots (HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER, HKEY_USERS); HKEY_CLASSES_ROOT is a view over two of their keys and has no
// tree of its own.
#pragma once

#include "platform/posix/registry/store/registry_names.h"
#include "platform/posix/core/win32_types.h"

#include <memory>
#include <string>
#include <vector>

namespace ovlayer {

enum RootId : unsigned char { kLocalMachine, kCurrentUser, kUsers, kRootCount };

// Windows' limits: a key name of at most 255 characters, at most 512 levels below a root.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS".
const char* RootName(RootId root);

// Reads a root name as .reg files and the readonly-roots file write it, long or short
// ("HKEY_LOCAL_MACHINE", "HKLM"), letter case ignored. HKEY_CLASSES_ROOT gives kLocalMachine
// with `classes` set: its keys live in the machine's Software\Classes.
bool ParseRootName(const std::string& name, RootId* root, bool* classes);

// Splits "a\b\c" into its names. Empty names (doubled or trailing backslashes) are skipped, as
// the registry skips them; a leading backslash is not allowed (false).
bool SplitKeyPath(const std::string& path, std::vector<std::string>* names);

struct RegValue {
    std::string name;
    DWORD type = 0;
    std::string data;
};

class RegKey {
public:
    RegKey(std::string name, RegKey* parent, RootId root);
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    const std::string& Name() const { return name_; }
    RegKey* Parent() const { return parent_; }
    RootId Root() const { return root_; }
    // The number of names from the root to this key (a root itself: 0).
    size_t Depth() const { return depth_; }
    // A deleted key is detached from the tree; handles may still hold it.
    bool Deleted() const { return deleted_; }
    // A link key (made with REG_OPTION_CREATE_LINK) stands for the key its "SymbolicLinkValue"
    // names; the tree keeps it as a key like any other, only the registry functions follow it.
    bool IsLink() const { return link_; }
    void MakeLink() { link_ = true; }
    // "HKEY_LOCAL_MACHINE\Software\X" for a key in the tree.
    std::string Path() const;

    std::shared_ptr<RegKey> Child(const std::string& name) const;
    std::shared_ptr<RegKey> ChildAt(size_t index) const;
    const std::string* FoldedChildNameAt(size_t index) const { return children_.KeyAt(index); }
    size_t ChildCount() const { return children_.Size(); }
    // The existing child of that name, or a new one; null when the name is too long or the child
    // would lie deeper than the registry allows.
    std::shared_ptr<RegKey> AddChild(const std::string& name);
    // Detaches the child and marks it and everything below it deleted.
    bool RemoveChild(const std::string& name);

    const RegValue* Value(const std::string& name) const { return values_.Find(name); }
    const RegValue* ValueAt(size_t index) const { return values_.At(index); }
    size_t ValueCount() const { return values_.Size(); }
    // An existing value keeps the case of its name.
    void SetValue(const std::string& name, DWORD type, std::string data);
    bool DeleteValue(const std::string& name) { return values_.Erase(name); }

private:
    friend class RegistryTree;
    void MarkDeleted();

    std::string name_;
    RegKey* parent_;
    RootId root_;
    size_t depth_;
    bool deleted_ = false;
    bool link_ = false;
    NameIndex<std::shared_ptr<RegKey>> children_;
    NameIndex<RegValue> values_;
};

// One change of the registry, as a .reg file states it and as the store logs it.
struct RegOp {
    enum Kind { kCreateKey, kCreateLink, kDeleteTree, kDeleteKey, kSetValue, kDeleteValue };
    Kind kind = kCreateKey;
    std::string key; // full path, "HKEY_LOCAL_MACHINE\Software\X"
    std::string name;
    DWORD type = 0;
    std::string data;
};

class RegistryTree {
public:
    RegistryTree();
    // Marks every key deleted, for the handles that still hold some.
    ~RegistryTree();
    RegistryTree(const RegistryTree&) = delete;
    RegistryTree& operator=(const RegistryTree&) = delete;

    const std::shared_ptr<RegKey>& Root(RootId root) const { return roots_[root]; }

    // Full paths: a root name, then names separated by backslashes.
    std::shared_ptr<RegKey> Find(const std::string& path) const;
    std::shared_ptr<RegKey> Create(const std::string& path);

    // kDeleteKey removes a key only while it has no sub-keys (a replayed RegDeleteKeyA must not
    // take keys another process added below it); kDeleteTree removes everything below.
    void Apply(const RegOp& op);
    void Apply(const std::vector<RegOp>& ops);

private:
    std::shared_ptr<RegKey> Walk(const std::string& path, bool create) const;

    std::shared_ptr<RegKey> roots_[kRootCount];
};

// Applies changes one after another, fast when they come in the order of a .reg file (a key's
// parents before it, its values after it).
class RegistryTreeWriter {
public:
    explicit RegistryTreeWriter(RegistryTree& tree) : tree_(tree) {}
    void Apply(const RegOp& op);

private:
    struct Link {
        size_t length; // of the path naming `key`
        std::shared_ptr<RegKey> key;
    };
    std::shared_ptr<RegKey> KeyAt(const std::string& path);

    RegistryTree& tree_;
    std::vector<Link> chain_;
    std::string chainPath_;
};

} // namespace ovlayer
