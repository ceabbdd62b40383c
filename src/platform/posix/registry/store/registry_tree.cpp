#include "platform/posix/registry/store/registry_tree.h"

#include <strings.h>

#include <algorithm>

namespace ovlayer {

namespace {

struct RootSpelling {
    const char* longName;
    const char* shortName;
    RootId root;
    bool classes;
};

const RootSpelling kRootSpellings[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", kLocalMachine, false},
    {"HKEY_CURRENT_USER", "HKCU", kCurrentUser, false},
    {"HKEY_USERS", "HKU", kUsers, false},
    {"HKEY_CLASSES_ROOT", "HKCR", kLocalMachine, true},
};

} // namespace

const char* RootName(RootId root) {
    return kRootSpellings[root].longName;
}

bool ParseRootName(const std::string& name, RootId* root, bool* classes) {
    for (const RootSpelling& spelling : kRootSpellings) {
        if (strcasecmp(name.c_str(), spelling.longName) == 0 ||
            strcasecmp(name.c_str(), spelling.shortName) == 0) {
            *root = spelling.root;
            *classes = spelling.classes;
            return true;
        }
    }
    return false;
}

bool SplitKeyPath(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    names->reserve(8);
    if (!path.empty() && path[0] == '\\') {
        return false;
    }
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            names->push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return true;
}

RegKey::RegKey(std::string name, RegKey* parent, RootId root)
    : name_(std::move(name)), parent_(parent), root_(root),
      depth_(parent ? parent->depth_ + 1 : 0) {}

std::string RegKey::Path() const {
    if (!parent_) {
        return deleted_ ? name_ : RootName(root_);
    }
    return parent_->Path() + "\\" + name_;
}

std::shared_ptr<RegKey> RegKey::Child(const std::string& name) const {
    const std::shared_ptr<RegKey>* child = children_.Find(name);
    return child ? *child : nullptr;
}

std::shared_ptr<RegKey> RegKey::ChildAt(size_t index) const {
    const std::shared_ptr<RegKey>* child = children_.At(index);
    return child ? *child : nullptr;
}

std::shared_ptr<RegKey> RegKey::AddChild(const std::string& name) {
    if (std::shared_ptr<RegKey>* existing = children_.Find(name)) {
        return *existing;
    }
    if (name.size() > kMaxKeyNameLength || depth_ >= kMaxKeyDepth) {
        return nullptr;
    }
    return children_.Put(name, std::make_shared<RegKey>(name, this, root_));
}

bool RegKey::RemoveChild(const std::string& name) {
    std::shared_ptr<RegKey>* child = children_.Find(name);
    if (!child) {
        return false;
    }
    (*child)->MarkDeleted();
    children_.Erase(name);
    return true;
}

void RegKey::MarkDeleted() {
    children_.ForEach([](const std::shared_ptr<RegKey>& child) { child->MarkDeleted(); });
    deleted_ = true;
    parent_ = nullptr;
}

void RegKey::SetValue(const std::string& name, DWORD type, std::string data) {
    if (RegValue* existing = values_.Find(name)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values_.Put(name, RegValue{name, type, std::move(data)});
}

RegistryTree::RegistryTree() {
    for (int root = 0; root < kRootCount; ++root) {
        roots_[root] = std::make_shared<RegKey>("", nullptr, static_cast<RootId>(root));
    }
}

RegistryTree::~RegistryTree() {
    for (const std::shared_ptr<RegKey>& root : roots_) {
        root->MarkDeleted();
    }
}

std::shared_ptr<RegKey> RegistryTree::Walk(const std::string& path, bool create) const {
    const size_t slash = path.find('\\');
    RootId root;
    bool classes;
    if (!ParseRootName(path.substr(0, slash), &root, &classes)) {
        return nullptr;
    }
    std::vector<std::string> names;
    if (slash != std::string::npos && !SplitKeyPath(path.substr(slash + 1), &names)) {
        return nullptr;
    }
    if (classes) {
        names.insert(names.begin(), {"Software", "Classes"});
    }
    std::shared_ptr<RegKey> key = roots_[root];
    for (const std::string& name : names) {
        key = create ? key->AddChild(name) : key->Child(name);
        if (!key) {
            return nullptr;
        }
    }
    return key;
}

std::shared_ptr<RegKey> RegistryTree::Find(const std::string& path) const {
    return Walk(path, false);
}

std::shared_ptr<RegKey> RegistryTree::Create(const std::string& path) {
    return Walk(path, true);
}

void RegistryTree::Apply(const RegOp& op) {
    switch (op.kind) {
    case RegOp::kCreateKey:
        Create(op.key);
        return;
    case RegOp::kCreateLink:
        if (std::shared_ptr<RegKey> key = Create(op.key)) {
            key->MakeLink();
        }
        return;
    case RegOp::kDeleteTree:
    case RegOp::kDeleteKey: {
        std::shared_ptr<RegKey> key = Find(op.key);
        if (key && key->Parent() && (op.kind == RegOp::kDeleteTree || key->ChildCount() == 0)) {
            key->Parent()->RemoveChild(key->Name());
        }
        return;
    }
    case RegOp::kSetValue:
        if (std::shared_ptr<RegKey> key = Create(op.key)) {
            key->SetValue(op.name, op.type, op.data);
        }
        return;
    case RegOp::kDeleteValue:
        if (std::shared_ptr<RegKey> key = Find(op.key)) {
            key->DeleteValue(op.name);
        }
        return;
    }
}

void RegistryTree::Apply(const std::vector<RegOp>& ops) {
    RegistryTreeWriter writer(*this);
    for (const RegOp& op : ops) {
        writer.Apply(op);
    }
}

// A .reg file names each key by its full path, parents first. The writer keeps the chain of keys
// named by the last path, so that the next key is found from its nearest named ancestor instead
// of from the root.
std::shared_ptr<RegKey> RegistryTreeWriter::KeyAt(const std::string& path) {
    while (!chain_.empty()) {
        const size_t length = chain_.back().length;
        if (path.compare(0, length, chainPath_, 0, length) == 0 &&
            (path.size() == length || path[length] == '\\')) {
            break;
        }
        chain_.pop_back();
    }
    if (chain_.empty()) {
        const size_t root = std::min(path.find('\\'), path.size());
        std::shared_ptr<RegKey> key = tree_.Create(path.substr(0, root));
        if (!key) {
            return nullptr;
        }
        chain_.push_back(Link{root, key});
    }
    for (size_t at = chain_.back().length; at < path.size();) {
        const size_t next = std::min(path.find('\\', at + 1), path.size());
        std::shared_ptr<RegKey> key = chain_.back().key;
        if (next > at + 1) {
            key = key->AddChild(path.substr(at + 1, next - at - 1));
            if (!key) {
                chain_.clear();
                chainPath_.clear();
                return nullptr;
            }
        }
        chain_.push_back(Link{next, key});
        at = next;
    }
    chainPath_ = path;
    return chain_.back().key;
}

void RegistryTreeWriter::Apply(const RegOp& op) {
    if (op.kind == RegOp::kCreateKey) {
        KeyAt(op.key);
    } else if (op.kind == RegOp::kCreateLink) {
        if (std::shared_ptr<RegKey> key = KeyAt(op.key)) {
            key->MakeLink();
        }
    } else if (op.kind == RegOp::kSetValue) {
        if (std::shared_ptr<RegKey> key = KeyAt(op.key)) {
            key->SetValue(op.name, op.type, op.data);
        }
    } else {
        chain_.clear(); // a deletion may take keys of the chain
        tree_.Apply(op);
    }
}

} // namespace ovlayer
