// RemoveTree on the Linux layer against `rm -rf` on an identical tree: folders of files, one file
// in ten read-only (RemoveTree clears the bit first; rm ignores it). Each round builds both trees
// afresh and times the two removals, in turn first and second; the medians of the rounds are
// printed, as wall-clock time and as processor time (the latter is steadier on a busy machine).
//
//   remove_tree_bench [files] [folders] [rounds]     (default 100000 1000 3)
//   remove_tree_bench build <host folder> <files> <folders>    makes a tree (for bench/compare)
//   remove_tree_bench remove <machine> <Windows folder>         RemoveTree alone in this process,
//       printing its wall-clock and processor seconds (for bench/compare, which runs `rm -rf` and
//       strace beside it)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "fs/directory.h"

namespace {

void BuildTree(const std::string& top, int files, int folders) {
    mkdir(top.c_str(), 0755);
    const int perFolder = files / folders;
    char name[64];
    for (int d = 0; d < folders; ++d) {
        snprintf(name, sizeof name, "/folder%04d", d);
        const std::string folder = top + name;
        mkdir(folder.c_str(), 0755);
        for (int f = 0; f < perFolder; ++f) {
            snprintf(name, sizeof name, "/file%05d.dat", f);
            const std::string file = folder + name;
            const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || write(fd, "sixteen bytes..\n", 16) != 16) {
                perror(file.c_str());
                exit(1);
            }
            close(fd);
            if (f % 10 == 0) {
                chmod(file.c_str(), 0444);
            }
        }
    }
}

// RemoveTree of one folder of an existing machine, timed from the call to its return.
int RemoveOnly(const std::string& machine, const std::string& folder) {
    ovlayer::UseMachine(machine);
    ovlayer::MachineFolder();
    const double cpu = bench::OwnCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    Directory tree;
    tree.SetPath(folder.c_str());
    const int removed = tree.RemoveTree(1);
    printf("%.4f %.4f\n", bench::Seconds(start), bench::OwnCpuSeconds() - cpu);
    return removed == 1 && !tree.Exists() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "build") {
        BuildTree(argv[2], atoi(argv[3]), atoi(argv[4]));
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "remove") {
        return RemoveOnly(argv[2], argv[3]);
    }
    const int files = argc > 1 ? atoi(argv[1]) : 100000;
    const int folders = argc > 2 ? atoi(argv[2]) : 1000;
    const int rounds = argc > 3 ? atoi(argv[3]) : 3;
    bench::BenchMachine machine;
    const std::string driveC = machine.Folder() + "/drive_c";

    std::vector<double> rmWall, rmCpu, ownWall, ownCpu;
    for (int round = 0; round < rounds; ++round) {
        BuildTree(driveC + "/ByRm", files, folders);
        BuildTree(driveC + "/ByRemoveTree", files, folders);
        sync();
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (round % 2 == 0)) {
                double cpu = 0;
                const auto start = std::chrono::steady_clock::now();
                if (!bench::Run({"rm", "-rf", driveC + "/ByRm"}, &cpu)) {
                    fprintf(stderr, "rm -rf failed\n");
                    return 1;
                }
                rmWall.push_back(bench::Seconds(start));
                rmCpu.push_back(cpu);
                continue;
            }
            const double cpu = bench::OwnCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            Directory folder;
            folder.SetPath("C:\\ByRemoveTree");
            const int removed = folder.RemoveTree(1);
            ownWall.push_back(bench::Seconds(start));
            ownCpu.push_back(bench::OwnCpuSeconds() - cpu);
            if (removed != 1 || std::filesystem::exists(driveC + "/ByRemoveTree")) {
                fprintf(stderr, "RemoveTree left the tree in place\n");
                return 1;
            }
        }
    }
    const double wall = bench::Median(ownWall) / bench::Median(rmWall);
    const double cpu = bench::Median(ownCpu) / bench::Median(rmCpu);
    printf("RemoveTree of %d files in %d folders: %.2f s (cpu %.2f s); rm -rf: %.2f s "
           "(cpu %.2f s); ratio %.2f wall, %.2f cpu\n",
           files, folders, bench::Median(ownWall), bench::Median(ownCpu), bench::Median(rmWall),
           bench::Median(rmCpu), wall, cpu);
    return 0;
}
