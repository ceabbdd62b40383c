// Another program's attack on a removal, for bench/swap_race under Wine: it moves the tree's
// sub-folders out of the tree while the removal works in it, so that the caller can put a link
// to someone else's folder at each freed name. A Windows process does the moving because only
// the Windows rules decide whether a folder the removal holds can be renamed.
//
// It lists the tree's sub-folders once, then tries to move each one still there, over and over,
// until its standard input ends. Each move that succeeds is printed at once as "moved <name>";
// the first line, "listed <count>", says how many folders it found. Without a pause it has moved
// every folder it can within moments, and meets the removal at one folder; a pause of some
// milliseconds after each move lets the removal catch up, so that each move is made just ahead
// of it.
//
//     swap_attacker.exe <tree folder> <away folder> [pause in milliseconds, default 0]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace {

volatile LONG inputEnded = 0;

// The caller ends the attack by closing our standard input; the loop must not wait for it.
DWORD WINAPI WatchInput(void*) {
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) &&
           read > 0) {
    }
    InterlockedExchange(&inputEnded, 1);
    return 0;
}

std::vector<std::string> SubFolders(const std::string& tree) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((tree + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != "." &&
            name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: swap_attacker <tree folder> <away folder> [pause ms]\n");
        return 2;
    }
    const std::string tree = argv[1];
    const std::string away = argv[2];
    const DWORD pause = argc == 4 ? strtoul(argv[3], nullptr, 10) : 0;
    std::vector<std::string> names = SubFolders(tree);
    printf("listed %u\n", static_cast<unsigned>(names.size()));
    fflush(stdout);
    const HANDLE watcher = CreateThread(nullptr, 0, WatchInput, nullptr, 0, nullptr);
    if (watcher == nullptr) {
        fprintf(stderr, "swap_attacker: no thread: status %lu\n", GetLastError());
        return 1;
    }
    while (InterlockedCompareExchange(&inputEnded, 0, 0) == 0 && !names.empty()) {
        for (size_t i = 0; i < names.size();) {
            const std::string from = tree + "\\" + names[i];
            const std::string to = away + "\\" + names[i];
            if (MoveFileExA(from.c_str(), to.c_str(), 0)) {
                printf("moved %s\n", names[i].c_str());
                fflush(stdout);
                // Never tried again: the name is a link now, and Wine would move its target.
                names.erase(names.begin() + i);
                if (pause > 0) {
                    Sleep(pause);
                }
                continue;
            }
            // Removed by the removal meanwhile: nothing left to take. A folder the removal holds
            // open (or Wine's listing of it) answers a sharing violation and is tried again.
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                names.erase(names.begin() + i);
                continue;
            }
            ++i;
        }
    }
    WaitForSingleObject(watcher, INFINITE);
    return 0;
}
