# GoogleTest from the sources Debian ships, so that the native and the mingw build use the same
# version without a prebuilt Windows library.
set(OV_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${OV_GTEST_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest sources not found at ${OV_GTEST_SOURCE}: run scripts/setup")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${OV_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# One test program from a list of sources, registered test by test. Under Wine, discovery runs
# the exe through the cross-compiling emulator, so each test really runs on a Win32.
function(ov_add_gtest name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE ovcore GTest::gtest GTest::gtest_main GTest::gmock)
    if(NOT WIN32)
        set_target_properties(${name} PROPERTIES BUILD_RPATH "$<TARGET_FILE_DIR:ovplatform>")
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 120)
endfunction()
