// A program that does nothing but sleep: tests copy it under the names of the maker's processes
// and start it, to have real processes of those names to find and stop. Arguments: the seconds
// to sleep (60 by default), so that a failed test leaves nothing behind for long, and a file to
// create once the program runs, which tells the test that the process is fully started (its
// modules loaded and listed).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    const long seconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 60;
    if (argc > 2) {
        if (FILE* ready = std::fopen(argv[2], "w")) {
            std::fclose(ready);
        }
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}
