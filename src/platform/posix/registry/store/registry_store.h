// The machine's registry: registry.reg read on first use and written back at process exit when
// something changed.
//
// Write-back takes registry.lock (flock) so that two processes never interleave. When another
// process has replaced registry.reg since this one read it, the file is read again under the
// lock and this process's changes (a log of every change made) are replayed over it, so both
// processes' changes end up in the file; on the same value the later writer wins, and a key this
// process deleted stays when the other process has added sub-keys below it meanwhile. The file
// is replaced atomically: a temporary file, flushed and synced, renamed over it.
//
// A registry.reg that cannot be read or parsed is reported on stderr with its name and the
// faulty line; from then on every registry call fails with ERROR_BADDB (ERROR_CANTREAD when the
// file cannot be read) and the file is never written.
#pragma once

#include "platform/posix/registry/store/registry_tree.h"

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

namespace ovlayer {

class RegistryStore {
public:
    // The current machine's store, loaded on first use.
    static RegistryStore& Get();

    // 0 while the registry can be used, else the status every registry call fails with.
    LONG Status() const { return status_; }
    RegistryTree& Tree() { return *tree_; }
    // The machine's and the user's Software\Classes, which HKEY_CLASSES_ROOT shows.
    const std::shared_ptr<RegKey>& MachineClasses() {
        return Classes(&machineClasses_, kLocalMachine);
    }
    const std::shared_ptr<RegKey>& UserClasses() { return Classes(&userClasses_, kCurrentUser); }
    // Whether keys of `root` refuse writes, as for a restricted user.
    bool Refuses(RootId root) const { return refused_[root]; }
    void SetRefuses(RootId root, bool refuse) { refused_[root] = refuse; }

    // Records a change made to Tree(), to be written back.
    void Changed(RegOp op);
    bool Dirty() const { return dirty_; }

    // Writes the registry back now if it changed; false (reason on stderr) when it could not.
    bool Flush();

    // Called with the new tree when a write-back replaced the tree with the merged one, while the
    // old tree is still intact, so that open handles can find their keys again.
    void OnTreeReplaced(void (*rebind)(RegistryTree& fresh)) { rebind_ = rebind; }

private:
    RegistryStore() = default;
    static RegistryStore& Instance();
    void Load();
    void Forget();
    static void ForgetCurrent();
    static void FlushAtExit();

    struct Stamp {
        bool exists = false;
        unsigned long long device = 0, inode = 0, size = 0, seconds = 0, nanoseconds = 0;
        bool operator!=(const Stamp& o) const;
    };
    static Stamp StampOf(const struct stat& info);
    bool ReadInto(RegistryTree* tree, Stamp* stamp, bool quiet);
    const std::shared_ptr<RegKey>& Classes(std::shared_ptr<RegKey>* cached, RootId root);
    bool WriteFile(const std::string& text);
    void ReadRefusedRoots();

    bool loaded_ = false;
    LONG status_ = 0;
    std::string path_;
    std::unique_ptr<RegistryTree> tree_ = std::make_unique<RegistryTree>();
    std::shared_ptr<RegKey> machineClasses_;
    std::shared_ptr<RegKey> userClasses_;
    Stamp stamp_;
    std::vector<RegOp> log_;
    bool dirty_ = false;
    bool refused_[kRootCount] = {};
    void (*rebind_)(RegistryTree&) = nullptr;
};

} // namespace ovlayer
