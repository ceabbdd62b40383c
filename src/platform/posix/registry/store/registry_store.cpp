#include "platform/posix/registry/store/registry_store.h"

#include "platform/posix/core/machine.h"
#include "platform/posix/registry/store/registry_text.h"
#include "platform/posix/core/test_controls.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovlayer {

namespace {

// Held while the registry file is written back.
class FileLock {
public:
    explicit FileLock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT, 0666)) {
        while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FileLock() {
        if (fd_ >= 0) {
            close(fd_); // releases the lock
        }
    }
    bool Held() const { return fd_ >= 0; }

private:
    int fd_;
};

bool ReadWhole(int fd, std::string* text) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0 && errno != EINTR) {
            return false;
        }
        if (got > 0) {
            text->append(buffer, static_cast<size_t>(got));
        }
    }
}

bool WriteWhole(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno != EINTR) {
            return false;
        }
        if (wrote > 0) {
            done += static_cast<size_t>(wrote);
        }
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

} // namespace

RegistryStore::Stamp RegistryStore::StampOf(const struct stat& info) {
    Stamp stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = static_cast<unsigned long long>(info.st_size);
    stamp.seconds = static_cast<unsigned long long>(info.st_mtim.tv_sec);
    stamp.nanoseconds = static_cast<unsigned long long>(info.st_mtim.tv_nsec);
    return stamp;
}

namespace {} // namespace

bool RegistryStore::Stamp::operator!=(const Stamp& o) const {
    return exists != o.exists || device != o.device || inode != o.inode || size != o.size ||
           seconds != o.seconds || nanoseconds != o.nanoseconds;
}

RegistryStore& RegistryStore::Instance() {
    static RegistryStore* store = [] {
        auto* made = new RegistryStore; // never destroyed: handles may outlive static objects
        OnMachineChange(&RegistryStore::ForgetCurrent);
        atexit(&RegistryStore::FlushAtExit);
        return made;
    }();
    return *store;
}

RegistryStore& RegistryStore::Get() {
    RegistryStore& store = Instance();
    if (!store.loaded_) {
        store.Load();
    }
    return store;
}

// Neither loads a registry that was not used.
void RegistryStore::ForgetCurrent() {
    Instance().Forget();
}

void RegistryStore::FlushAtExit() {
    Instance().Flush();
}

void RegistryStore::Forget() {
    loaded_ = false;
    status_ = 0;
    tree_ = std::make_unique<RegistryTree>();
    machineClasses_ = nullptr;
    userClasses_ = nullptr;
    stamp_ = Stamp();
    log_.clear();
    dirty_ = false;
    for (bool& refused : refused_) {
        refused = false;
    }
}

// Made again when gone (deleted, or left with a tree that a write-back replaced).
const std::shared_ptr<RegKey>& RegistryStore::Classes(std::shared_ptr<RegKey>* cached,
                                                      RootId root) {
    if (!*cached || (*cached)->Deleted()) {
        *cached = tree_->Create(std::string(RootName(root)) + "\\Software\\Classes");
    }
    return *cached;
}

void RegistryStore::Load() {
    loaded_ = true;
    path_ = MachinePath("registry.reg");
    if (!ReadInto(tree_.get(), &stamp_, false)) {
        return;
    }
    ReadRefusedRoots();
}

bool RegistryStore::ReadInto(RegistryTree* tree, Stamp* stamp, bool merging) {
    const char* consequence = merging ? "the registry changes of this process are not saved"
                                      : "no registry call will succeed and the file is left as "
                                        "it is";
    const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !ReadWhole(fd, &text)) {
        fprintf(stderr, "error: cannot read the registry file %s: %s; %s\n", path_.c_str(),
                strerror(errno), consequence);
        if (fd >= 0) {
            close(fd);
        }
        status_ = ERROR_CANTREAD;
        return false;
    }
    close(fd);
    *stamp = StampOf(info);
    RegTextFormat format;
    RegTextError error;
    RegistryTreeWriter writer(*tree);
    bool parsed = ScanRegText(
        text, [&writer](const RegOp& op) { writer.Apply(op); }, &format, &error);
    if (parsed && format != RegTextFormat::kRegedit4) {
        parsed = false;
        error = RegTextError{1, "the machine's registry must be REGEDIT4 text"};
    }
    if (!parsed) {
        fprintf(stderr, "error: the registry file %s is damaged at line %d: %s; %s\n",
                path_.c_str(), error.line, error.message.c_str(), consequence);
        status_ = ERROR_BADDB;
        return false;
    }
    return true;
}

void RegistryStore::ReadRefusedRoots() {
    FILE* file = fopen(MachinePath("readonly-roots").c_str(), "r");
    if (!file) {
        return;
    }
    char line[256];
    while (fgets(line, sizeof line, file)) {
        line[strcspn(line, " \t\r\n")] = '\0';
        RootId root;
        bool classes;
        if (ParseRootName(line, &root, &classes)) {
            refused_[root] = true;
        } else if (*line && *line != '#') {
            fprintf(stderr, "warning: %s: unknown root \"%s\" ignored\n",
                    MachinePath("readonly-roots").c_str(), line);
        }
    }
    fclose(file);
}

void RegistryStore::Changed(RegOp op) {
    log_.push_back(std::move(op));
    dirty_ = true;
}

bool RegistryStore::Flush() {
    if (!loaded_ || status_ != 0 || !dirty_) {
        return status_ == 0;
    }
    FileLock lock(MachinePath("registry.lock"));
    if (!lock.Held()) {
        fprintf(stderr,
                "error: cannot lock %s: %s; the registry changes of this process are not "
                "saved\n",
                MachinePath("registry.lock").c_str(), strerror(errno));
        return false;
    }
    struct stat info;
    const bool exists = stat(path_.c_str(), &info) == 0;
    const Stamp now = exists ? StampOf(info) : Stamp();
    if (now != stamp_) {
        auto fresh = std::make_unique<RegistryTree>();
        Stamp read;
        if (!ReadInto(fresh.get(), &read, true)) {
            status_ = 0; // this process goes on with what it has; only the file is left alone
            return false;
        }
        fresh->Apply(log_);
        if (rebind_) {
            rebind_(*fresh);
        }
        tree_ = std::move(fresh);
    }
    if (!WriteFile(WriteRegText(*tree_))) {
        return false;
    }
    if (stat(path_.c_str(), &info) == 0) {
        stamp_ = StampOf(info);
    }
    log_.clear();
    dirty_ = false;
    return true;
}

bool RegistryStore::WriteFile(const std::string& text) {
    const std::string temporary = path_ + ".tmp." + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool written = fd >= 0 && WriteWhole(fd, text) && fsync(fd) == 0;
    const int saved = errno;
    if (fd >= 0) {
        written = close(fd) == 0 && written;
    }
    if (written && rename(temporary.c_str(), path_.c_str()) == 0) {
        const int folder = open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            fsync(folder);
            close(folder);
        }
        return true;
    }
    fprintf(stderr,
            "error: cannot write the registry file %s: %s; the registry changes of this "
            "process are not saved\n",
            path_.c_str(), strerror(written ? errno : saved));
    unlink(temporary.c_str());
    return false;
}

void RefuseRegistryWrites(const std::string& root, bool refuse) {
    RootId id;
    bool classes;
    if (ParseRootName(root, &id, &classes)) {
        RegistryStore::Get().SetRefuses(id, refuse);
    }
}

bool FlushRegistry() {
    return RegistryStore::Get().Flush();
}

} // namespace ovlayer
