# Cross build of the 64-bit Windows test build with mingw-w64: the same program and tests as the
# 32-bit product, run by Wine's 64-bit loader, so that Windows behaviour is checked on machines
# that cannot run 32-bit code. The -posix compilers give the C++ runtime std::mutex, which
# GoogleTest needs; everything is linked statically so that Wine finds no missing runtime DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The `wine` wrapper picks the 32-bit loader whenever it is installed, even where no 32-bit
# program can start; the 64-bit loader is called by its path.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
