# The application shell: start-up, main cycle, settings, the disk-service
# wait, text input and the shell's helpers; and the program itself, end to
# end, on a fresh demo site (the program, the disk service and the provider
# are built first).
file(GLOB APP_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
# The Set Shell cases write and read the prefix's one Winlogon "Shell" value:
# they run one at a time (tests/app/winlogon_shell.h).
tf_add_test_executable(app SOURCES ${APP_TESTS} LIBRARIES appcore demosite_lib database tf_sqlite
    LOCKED "SettingsChildDialogs.SetShell*:*DialogLook.SetShell*" winlogon_shell)
add_dependencies(app_tests TobalFluoro disksrv zelksqlite)
# Wine's Z: drive is the root of the Linux file system.
target_compile_definitions(app_tests PRIVATE
    TF_PROGRAM_EXE=L"Z:$<TARGET_FILE:TobalFluoro>"
    TF_DISKSRV_EXE=L"Z:$<TARGET_FILE:disksrv>"
    TF_SITE_DIR=L"Z:${CMAKE_SOURCE_DIR}/site/")

# A tiny program the plug-in tests start as an external program.
add_executable(tf_write_marker WIN32 ${CMAKE_CURRENT_LIST_DIR}/marker/write_marker.cpp)
target_link_libraries(tf_write_marker PRIVATE tf_options shell32)
add_dependencies(app_tests tf_write_marker)
target_compile_definitions(app_tests PRIVATE TF_MARKER_EXE=L"Z:$<TARGET_FILE:tf_write_marker>")
