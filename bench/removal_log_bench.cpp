// The cost of the removal log: RemoveTree of a tree of files, and DeleteRegistryTree of a key
// tree, each with the log open and without, taking turns at going first; the medians of the
// rounds' processor time (steadier than wall-clock time on a shared machine, whose disk dominates).
//
//   removal_log_bench [files] [keys] [rounds]     (default 20000 20000 5)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "fs/directory.h"
#include "registry/delete_registry_tree.h"
#include "platform/posix/core/test_controls.h"
#include "support/removal_log.h"

namespace {

void BuildTree(const std::string& top, int files) {
    mkdir(top.c_str(), 0755);
    char name[64];
    for (int d = 0; d < files / 100; ++d) {
        snprintf(name, sizeof name, "/folder%04d", d);
        const std::string folder = top + name;
        mkdir(folder.c_str(), 0755);
        for (int f = 0; f < 100; ++f) {
            snprintf(name, sizeof name, "/file%03d.dat", f);
            const int fd = open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            close(fd);
        }
    }
}

void BuildKeys(int keys) {
    char name[64];
    for (int k = 0; k < keys; ++k) {
        snprintf(name, sizeof name, "Software\\Bench\\Group%03d\\Key%03d", k / 100, k % 100);
        HKEY key = nullptr;
        RegCreateKeyA(HKEY_CURRENT_USER, name, &key);
        RegCloseKey(key);
    }
}

double TimeFiles(const std::string& driveC, int files, bool logged) {
    BuildTree(driveC + "/Tree", files);
    sync();
    if (logged) {
        OpenRemovalLog();
    }
    const double cpu = bench::OwnCpuSeconds();
    Directory folder;
    folder.SetPath("C:\\Tree");
    folder.RemoveTree(1);
    CloseRemovalLog();
    return bench::OwnCpuSeconds() - cpu;
}

double TimeKeys(int keys, bool logged) {
    BuildKeys(keys);
    if (logged) {
        OpenRemovalLog();
    }
    const double cpu = bench::OwnCpuSeconds();
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Bench");
    CloseRemovalLog();
    return bench::OwnCpuSeconds() - cpu;
}

void Report(const char* what, std::vector<double>& plain, std::vector<double>& logged) {
    const double a = bench::Median(plain);
    const double b = bench::Median(logged);
    printf("%s: processor time without the log %.3f s, with it %.3f s (%+.1f %%)\n", what, a, b,
           100.0 * (b - a) / a);
}

} // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? atoi(argv[1]) : 20000;
    const int keys = argc > 2 ? atoi(argv[2]) : 20000;
    const int rounds = argc > 3 ? atoi(argv[3]) : 5;
    bench::BenchMachine machine;
    setenv("TMP", "C:\\windows", 1); // the log goes to the machine's own folder
    const std::string driveC = machine.Folder() + "/drive_c";
    std::vector<double> filesPlain, filesLogged, keysPlain, keysLogged;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool logged = (turn == 0) == (round % 2 == 0);
            (logged ? filesLogged : filesPlain).push_back(TimeFiles(driveC, files, logged));
            (logged ? keysLogged : keysPlain).push_back(TimeKeys(keys, logged));
        }
    }
    char what[96];
    snprintf(what, sizeof what, "RemoveTree of %d files in %d folders", files, files / 100);
    Report(what, filesPlain, filesLogged);
    snprintf(what, sizeof what, "DeleteRegistryTree of %d keys", keys);
    Report(what, keysPlain, keysLogged);
    ovlayer::FlushRegistry(); // before the machine folder goes
    return 0;
}
