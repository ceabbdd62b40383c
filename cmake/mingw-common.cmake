# What both mingw-w64 toolchains share, for the target named by OV_MINGW_PROCESSOR. The -posix
# compilers give the C++ runtime std::mutex, which GoogleTest needs; everything is linked
# statically so that Wine finds no missing runtime DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${OV_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${OV_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${OV_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${OV_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OV_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every Wine process of the tests starts with address randomisation off (setarch -R), which the
# processes it starts inherit. Debian's Wine has no preloader to reserve the shared user data
# page at 0x7ffe0000 first, and the 64-bit loader's heap starts up to 1 GiB above its fixed
# address at random: now and then (the heap is small at that point, so rarely) it lands on that
# page and the process dies at its start (c0000018). tests/e2e/wine_prefix.py starts its Wine
# processes the same way.
execute_process(COMMAND setarch -R true RESULT_VARIABLE OV_FIXED_LAYOUT_STATUS
    OUTPUT_QUIET ERROR_QUIET)
if(OV_FIXED_LAYOUT_STATUS EQUAL 0)
    set(OV_WINE_LAUNCH setarch -R)
else()
    set(OV_WINE_LAUNCH)
    message(STATUS "setarch -R failed: Wine's 64-bit processes may fail at their start at random")
endif()
