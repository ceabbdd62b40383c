// DeleteRegistryTree on the Linux layer: a tree of keys made in one process, deleted in another,
// whose time is measured from the call to its exit, the registry's write-back included (and the
// time to load the registry beforehand shown apart). Two shapes: keys of 100 sub-keys each, and
// all keys side by side below one key.
//
//   registry_tree_bench [keys] [rounds]               (default 100000 3)
//   registry_tree_bench make|delete|check <machine> <keys> <shape>   (the child processes)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "platform/win32api.h"
#include "registry/delete_registry_tree.h"

namespace {

constexpr char kTop[] = "Software\\OvBench\\Tree";

long long Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Make(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// `keys` keys below kTop: in "tree" shape groups of one key and 99 sub-keys; in "flat" shape
// all side by side.
int MakeTree(int keys, const std::string& shape) {
    char name[64];
    const int groupSize = shape == "tree" ? 100 : 1;
    for (int group = 0; group * groupSize < keys; ++group) {
        snprintf(name, sizeof name, "\\Key%06d", group);
        const std::string parent = std::string(kTop) + name;
        if (!Make(parent)) {
            return 1;
        }
        for (int child = 1; child < groupSize && group * groupSize + child < keys; ++child) {
            snprintf(name, sizeof name, "\\Sub%03d", child);
            if (!Make(parent + name)) {
                return 1;
            }
        }
    }
    return 0;
}

int Child(const std::string& mode, const std::string& machine, int keys, const std::string& shape) {
    ovlayer::UseMachine(machine);
    if (mode == "make") {
        return MakeTree(keys, shape);
    }
    HKEY key = nullptr;
    const bool present = RegOpenKeyA(HKEY_CURRENT_USER, kTop, &key) == ERROR_SUCCESS;
    if (present) {
        RegCloseKey(key);
    }
    if (mode == "check") {
        return present ? 1 : 0;
    }
    const long long loaded = Now();
    const LONG status = DeleteRegistryTree(HKEY_CURRENT_USER, kTop);
    const long long deleted = Now();
    std::ofstream(machine + "/bench-times") << loaded << ' ' << deleted << '\n';
    return status == ERROR_SUCCESS ? 0 : 1;
}

struct Figures {
    double load;
    double remove;
    double writeBack;
};

bool Round(const std::string& self, int keys, const std::string& shape, Figures* figures) {
    bench::BenchMachine machine;
    const std::string count = std::to_string(keys);
    if (!bench::Run({self, "make", machine.Folder(), count, shape})) {
        fprintf(stderr, "making the keys failed\n");
        return false;
    }
    const long long start = Now();
    if (!bench::Run({self, "delete", machine.Folder(), count, shape})) {
        fprintf(stderr, "DeleteRegistryTree failed\n");
        return false;
    }
    const long long end = Now();
    long long loaded = 0, deleted = 0;
    std::ifstream(machine.Folder() + "/bench-times") >> loaded >> deleted;
    if (!bench::Run({self, "check", machine.Folder(), count, shape})) {
        fprintf(stderr, "the keys are still there after the write-back\n");
        return false;
    }
    *figures = Figures{(loaded - start) / 1e9, (deleted - loaded) / 1e9, (end - deleted) / 1e9};
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5) {
        return Child(argv[1], argv[2], atoi(argv[3]), argv[4]);
    }
    const int keys = argc > 1 ? atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return 1;
    }
    self[length] = '\0';
    for (const char* shape : {"tree", "flat"}) {
        std::vector<double> load, remove, writeBack, total;
        for (int round = 0; round < rounds; ++round) {
            Figures figures;
            if (!Round(self, keys, shape, &figures)) {
                return 1;
            }
            load.push_back(figures.load);
            remove.push_back(figures.remove);
            writeBack.push_back(figures.writeBack);
            total.push_back(figures.remove + figures.writeBack);
        }
        printf("DeleteRegistryTree of %d keys (%s): %.2f s with the write-back (delete %.2f s, "
               "write-back and exit %.2f s; loading beforehand %.2f s); goal 2 s\n",
               keys, shape, bench::Median(total), bench::Median(remove), bench::Median(writeBack),
               bench::Median(load));
    }
    return 0;
}
