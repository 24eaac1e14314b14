# Archiving: the volume configuration, the worker link and base, the archive
# worker (copies, room, disk prompts, backup, deletions), the format worker
# through the disk service stand-in, the archive window, the disk
# preparation window and the disk properties dialog. Disks of known sizes are
# tmpfs mounts below the build folder (archive-disks/), mapped to drive
# letters through Wine's mount manager; mounting needs root.
file(GLOB ARCHIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(archive SOURCES ${ARCHIVE_TESTS} ${CMAKE_SOURCE_DIR}/tests/exchange/disks_fixture.cpp
    LIBRARIES archive exdisks appcore demosite_lib imagefiles images database)
add_dependencies(archive_tests zelksqlite disksrv)
target_compile_definitions(archive_tests PRIVATE
    TF_ARCHIVE_TEST_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql"
    TF_EXCHANGE_DISKSRV_EXE=L"Z:$<TARGET_FILE:disksrv>"
    TF_ARCHIVE_DISK_DIR="${CMAKE_BINARY_DIR}/archive-disks")
