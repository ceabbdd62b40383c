# Plays ovregedit the way the end-to-end runner does: imports in each encoding regedit writes,
# exports, and a faulty file that must import nothing.
#   cmake -DOVREGEDIT=<tool> -DDATA=<testdata folder> -DWORK=<scratch folder> -P ovregedit_test.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(ENV{OVUNINST_MACHINE} "${WORK}/machine")

function(run expected_status)
    execute_process(COMMAND "${OVREGEDIT}" ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT status EQUAL expected_status)
        message(FATAL_ERROR "ovregedit ${ARGN}: status ${status}, expected ${expected_status}: ${errors}")
    endif()
    set(errors "${errors}" PARENT_SCOPE)
endfunction()

function(same actual expected)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${actual}" "${expected}"
        RESULT_VARIABLE different)
    if(different)
        file(READ "${actual}" text)
        message(FATAL_ERROR "${actual} differs from ${expected}:\n${text}")
    endif()
endfunction()

run(0 /S "${DATA}/version5_utf16.reg")
run(0 /s "${DATA}/regedit4_utf8.reg")
run(0 /E "${WORK}/user.reg" "HKEY_CURRENT_USER\\Software\\Orvane")
same("${WORK}/user.reg" "${DATA}/expected_user.reg")
run(0 /E "${WORK}/classes.reg" "HKEY_CLASSES_ROOT\\Software\\Orvane")
same("${WORK}/classes.reg" "${DATA}/expected_classes.reg")

file(READ "${WORK}/machine/registry.reg" before)
run(1 /S "${DATA}/broken.reg")
if(NOT errors MATCHES "broken.reg:3:")
    message(FATAL_ERROR "the fault is not named with its line: ${errors}")
endif()
file(READ "${WORK}/machine/registry.reg" after)
if(NOT before STREQUAL after)
    message(FATAL_ERROR "a faulty file changed the registry")
endif()

run(1 /E "${WORK}/none.reg" "HKEY_CURRENT_USER\\Software\\Missing")
run(2 /X)
run(0 /E "${WORK}/all.reg")
file(READ "${WORK}/all.reg" all)
if(NOT all MATCHES "\"ProgramFilesDir\"=\"C:\\\\\\\\Program Files \\(x86\\)\"")
    message(FATAL_ERROR "the whole export lacks the standard values:\n${all}")
endif()
