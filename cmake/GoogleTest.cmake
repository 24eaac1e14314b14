# GoogleTest from Debian's source package, built with the mingw toolchain.
set(TF_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TF_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(GoogleTest)

# tf_add_test_executable(<folder> SOURCES ... LIBRARIES ... [LOCKED <filter> <resource>])
# Builds <folder>_tests.exe from tests/<folder>/ with the shared test main and the
# resources, and registers every GoogleTest case with ctest as "<folder>.<Suite>.<Test>".
# The cases of suites named ...RealInput drive the real mouse and keyboard: they
# run alone (RUN_SERIAL), since a window another test opens meanwhile would take
# their input (tools/check-real-input.py checks that every such case is named so).
# With LOCKED, the cases the GoogleTest filter selects hold the ctest resource
# lock while they run (cases that share an outside process or machine setting
# run one at a time); the others run as usual.
function(tf_add_test_executable folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LOCKED" ${ARGN})
    set(target ${folder}_tests)
    add_executable(${target} ${ARG_SOURCES} $<TARGET_OBJECTS:tf_test_common> $<TARGET_OBJECTS:tf_resources>)
    target_link_libraries(${target} PRIVATE tf_options ${ARG_LIBRARIES} foundation gmock gtest)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    # A test passes only when it says so: under Wine a process that crashes
    # may still end with exit code 0. A skipped case says "[  PASSED  ] 0
    # tests": the discovery lists it as skipped, never passed, and ./test.sh
    # fails a run in which a test did not run.
    set(pass "\\[  PASSED  \\] 1 test")
    set(alone "*RealInput.*")
    gtest_discover_tests(${target}
        TEST_PREFIX "${folder}."
        TEST_FILTER "${alone}"
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE PASS_REGULAR_EXPRESSION "${pass}")
    if(ARG_LOCKED)
        list(GET ARG_LOCKED 0 filter)
        list(GET ARG_LOCKED 1 resource)
        gtest_discover_tests(${target}
            TEST_PREFIX "${folder}."
            TEST_FILTER "${filter}-${alone}"
            DISCOVERY_MODE PRE_TEST
            DISCOVERY_TIMEOUT 120
            PROPERTIES TIMEOUT 300 RESOURCE_LOCK ${resource} PASS_REGULAR_EXPRESSION "${pass}")
        set(rest "-${alone}:${filter}")
    else()
        set(rest "-${alone}")
    endif()
    gtest_discover_tests(${target}
        TEST_PREFIX "${folder}."
        TEST_FILTER "${rest}"
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 300 PASS_REGULAR_EXPRESSION "${pass}")
endfunction()
