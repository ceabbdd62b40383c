// DeleteRegistryTree on the Linux layer: a tree of keys made in one process, deleted in another,
// whose time is measured from the call to its exit, the registry's write-back included (and the
// time to load the registry beforehand shown apart). Two shapes: keys of 100 sub-keys each, and
// all keys side by side below one key.
//
// `undo` times the same deletion with the undo file against the same deletion with the temporary
// folder missing (the undo file then cannot be made and nothing is read or written for it), on
// identical machines made afresh each round, taking turns at going first: the undo file opened,
// the tree deleted, the undo file closed. Keys of 100 sub-keys each, without values and with one
// text value each.
//
//   registry_tree_bench [keys] [rounds]               (default 100000 3)
//   registry_tree_bench undo [keys] [rounds]             (default 100000 11)
//   registry_tree_bench make|delete|check <machine> <keys> <shape> [temp|missing]   (children)
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
#include "support/undo_file.h"

namespace {

constexpr char kTop[] = "Software\\OvBench\\Tree";

long long Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Make(const std::string& path, bool value) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    static const char kText[] = "C:\\Program Files\\Lumo\\LumoCrate\\library";
    const bool set =
        !value || RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(kText),
                                 sizeof kText) == ERROR_SUCCESS;
    RegCloseKey(key);
    return set;
}

// `keys` keys below kTop: in "tree" shape groups of one key and 99 sub-keys ("values": the same,
// each key with a text value); in "flat" shape all side by side.
int MakeTree(int keys, const std::string& shape) {
    char name[64];
    const int groupSize = shape == "flat" ? 1 : 100;
    const bool value = shape == "values";
    for (int group = 0; group * groupSize < keys; ++group) {
        snprintf(name, sizeof name, "\\Key%06d", group);
        const std::string parent = std::string(kTop) + name;
        if (!Make(parent, value)) {
            return 1;
        }
        for (int child = 1; child < groupSize && group * groupSize + child < keys; ++child) {
            snprintf(name, sizeof name, "\\Sub%03d", child);
            if (!Make(parent + name, value)) {
                return 1;
            }
        }
    }
    return 0;
}

// The undo file holds a section for every key.
bool IsSaved(const std::string& machine, int keys) {
    FILE* file = fopen((machine + "/drive_c/bench-temp/ovuninst-undo.reg").c_str(), "rb");
    if (file == nullptr) {
        fprintf(stderr, "no undo file\n");
        return false;
    }
    int sections = 0;
    char line[512];
    while (fgets(line, sizeof line, file) != nullptr) {
        sections += line[0] == '[';
    }
    fclose(file);
    if (sections != keys + 1) { // and kTop's own
        fprintf(stderr, "the undo file holds %d keys, not %d\n", sections, keys + 1);
        return false;
    }
    return true;
}

int Child(const std::string& mode, const std::string& machine, int keys, const std::string& shape,
          const std::string& temp) {
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
    // The undo file in C:\bench-temp, or in a temporary folder that is not there.
    if (!temp.empty()) {
        if (temp == "temp") {
            CreateDirectoryA("C:\\bench-temp", nullptr);
        }
        setenv("TMP", temp == "temp" ? "C:\\bench-temp" : "C:\\no-such-folder", 1);
    }
    const long long loaded = Now();
    const double cpuBefore = bench::OwnCpuSeconds();
    if (!temp.empty()) {
        OpenUndoFile();
    }
    const LONG status = DeleteRegistryTree(HKEY_CURRENT_USER, kTop);
    if (!temp.empty()) {
        CloseUndoFile();
    }
    const double cpu = bench::OwnCpuSeconds() - cpuBefore;
    const long long deleted = Now();
    if (temp == "temp" && !IsSaved(machine, keys)) {
        return 1;
    }
    std::ofstream(machine + "/bench-times") << loaded << ' ' << deleted << ' ' << cpu << '\n';
    return status == ERROR_SUCCESS ? 0 : 1;
}

struct Figures {
    double load;
    double remove;
    double writeBack;
    double removeCpu; // the processor time of the deletion alone
};

bool Round(const std::string& self, int keys, const std::string& shape, Figures* figures,
           const std::string& temp = "") {
    bench::BenchMachine machine;
    const std::string count = std::to_string(keys);
    if (!bench::Run({self, "make", machine.Folder(), count, shape})) {
        fprintf(stderr, "making the keys failed\n");
        return false;
    }
    const long long start = Now();
    if (!bench::Run({self, "delete", machine.Folder(), count, shape, temp})) {
        fprintf(stderr, "DeleteRegistryTree failed\n");
        return false;
    }
    const long long end = Now();
    long long loaded = 0, deleted = 0;
    double cpu = 0;
    std::ifstream(machine.Folder() + "/bench-times") >> loaded >> deleted >> cpu;
    if (!bench::Run({self, "check", machine.Folder(), count, shape})) {
        fprintf(stderr, "the keys are still there after the write-back\n");
        return false;
    }
    *figures =
        Figures{(loaded - start) / 1e9, (deleted - loaded) / 1e9, (end - deleted) / 1e9, cpu};
    return true;
}

// The deletion with the undo file against the deletion with the temporary folder missing: the
// processor time of the deletion (the steadier figure on a shared machine, and the goal's), its
// wall-clock time, and the wall-clock time to the end of the process.
int UndoFigures(const std::string& self, int keys, int rounds) {
    for (const char* shape : {"tree", "values"}) {
        std::vector<double> cpu[2], wall[2], total[2]; // [0] with the undo file, [1] without
        for (int round = 0; round < rounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const int which = (round + turn) % 2; // taking turns at going first
                Figures figures;
                if (!Round(self, keys, shape, &figures, which == 0 ? "temp" : "missing")) {
                    return 1;
                }
                cpu[which].push_back(figures.removeCpu);
                wall[which].push_back(figures.remove);
                total[which].push_back(figures.remove + figures.writeBack);
            }
        }
        const double ratio = bench::Median(cpu[0]) / bench::Median(cpu[1]);
        printf("DeleteRegistryTree of %d keys (%s), with the undo file / with no temporary "
               "folder: processor time %.3f s / %.3f s = %.2fx (goal <= 1.5x); wall-clock %.3f s "
               "/ %.3f s = %.2fx, with the write-back and exit %.3f s / %.3f s = %.2fx\n",
               keys, shape == std::string("tree") ? "100 sub-keys each" : "the same, a value each",
               bench::Median(cpu[0]), bench::Median(cpu[1]), ratio, bench::Median(wall[0]),
               bench::Median(wall[1]), bench::Median(wall[0]) / bench::Median(wall[1]),
               bench::Median(total[0]), bench::Median(total[1]),
               bench::Median(total[0]) / bench::Median(total[1]));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 || argc == 6) {
        return Child(argv[1], argv[2], atoi(argv[3]), argv[4], argc == 6 ? argv[5] : "");
    }
    const bool undo = argc > 1 && std::string(argv[1]) == "undo";
    if (undo) {
        --argc;
        ++argv;
    }
    const int keys = argc > 1 ? atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? atoi(argv[2]) : undo ? 11 : 3;
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return 1;
    }
    self[length] = '\0';
    if (undo) {
        return UndoFigures(self, keys, rounds);
    }
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
