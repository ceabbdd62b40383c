int UninstallDriver(int, char**, char**) {
    return 0;
}
