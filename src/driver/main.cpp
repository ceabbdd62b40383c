#include <cstdlib>

int UninstallDriver(int argc, char** argv, char** envp);

int main(int argc, char** argv, char** envp) {
    exit(UninstallDriver(argc, argv, envp));
}
