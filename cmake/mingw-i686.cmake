# Cross build of the 32-bit Windows program, the product, with mingw-w64; its tests run under
# Wine's 32-bit loader.
set(OV_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${OV_WINE_LAUNCH} wine)
