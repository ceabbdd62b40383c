# Cross build of the 64-bit Windows test build with mingw-w64: the same program and tests as the
# product, run by Wine's 64-bit loader, so that Windows behaviour is checked on machines that
# cannot run 32-bit code.
set(OV_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The `wine` wrapper picks the 32-bit loader whenever it is installed, even where no 32-bit
# program can start; the 64-bit loader is called by its path.
set(CMAKE_CROSSCOMPILING_EMULATOR ${OV_WINE_LAUNCH} /usr/lib/wine/wine64)
