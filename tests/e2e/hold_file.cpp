// Holds files open without delete sharing until it is killed: the way another program that
// has one of the maker's files open meets a removal. Each file is opened for reading with read
// and write sharing only, so that Windows (and Wine) refuse to delete or rename it while it is
// open; then the ready file is created, and the program waits.
//
//     e2e_hold_file.exe READY-FILE FILE...
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: e2e_hold_file READY-FILE FILE...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        HANDLE file = CreateFileA(argv[i], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "e2e_hold_file: %s: status %lu\n", argv[i], GetLastError());
            return 1;
        }
        // The handle stays open for the life of the process.
    }
    HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "e2e_hold_file: %s: status %lu\n", argv[1], GetLastError());
        return 1;
    }
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}
