// The whole removal, from the rights probe to the final message. Always returns 0.
#pragma once

int UninstallDriver(int argc, char** argv, char** envp);
