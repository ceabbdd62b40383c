#include "driver/uninstall_driver.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv, char** envp) {
    // Unbuffered, so that every prompt is out before the program waits for an answer.
    setvbuf(stdout, nullptr, _IONBF, 0);
    exit(UninstallDriver(argc, argv, envp));
}
