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
# Each test program runs against a fresh machine of its own (tests/support/test_main.cpp).
if(WIN32)
    set(OV_TEST_MACHINE_SOURCE ${PROJECT_SOURCE_DIR}/tests/support/test_machine_win32.cpp)
else()
    set(OV_TEST_MACHINE_SOURCE ${PROJECT_SOURCE_DIR}/tests/support/test_machine_posix.cpp)
endif()
add_library(ovtestmain STATIC ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp
    ${OV_TEST_MACHINE_SOURCE})
target_include_directories(ovtestmain PUBLIC ${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_SOURCE_DIR})
target_link_libraries(ovtestmain PUBLIC GTest::gtest ovplatform)

# ov_add_gtest(name sources... [ENVIRONMENT VAR=value...] [PROPERTIES name value...])
function(ov_add_gtest name)
    cmake_parse_arguments(PARSE_ARGV 1 OV "" "" "ENVIRONMENT;PROPERTIES")
    add_executable(${name} ${OV_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ovcore ovtestmain GTest::gtest GTest::gmock)
    if(NOT WIN32)
        set_target_properties(${name} PROPERTIES BUILD_RPATH "$<TARGET_FILE_DIR:ovplatform>")
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 120 ENVIRONMENT "${OV_ENVIRONMENT}" ${OV_PROPERTIES})
endfunction()
