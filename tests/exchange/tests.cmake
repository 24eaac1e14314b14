# Data exchange: removable drives, the disk service client, the Eject Disk
# dialog and the archive registry values (disks_*), the synchronisation's
# progress channel, worker, scans, steps and re-insertion (sync_*), the
# synchronisation window with its pane, dialogs and suspect moves, opened as
# the program opens it (sync_wnd_*), and the database merge between two demo
# sites, this workstation's and another's (merge_*). They run against archive
# disks simulated through Wine's mount manager, the disk service stand-in
# (tools/disksrv) and the real provider on databases made from the site
# schema.
file(GLOB EXCHANGE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(exchange SOURCES ${EXCHANGE_TESTS} ${CMAKE_SOURCE_DIR}/exchange/disks/programservices.cpp
    ${CMAKE_SOURCE_DIR}/exchange/sync/programservices.cpp ${CMAKE_SOURCE_DIR}/exchange/merge/programservices.cpp
    LIBRARIES exchange_merge exsync exdisks appcore demosite_lib imagefiles images database)
add_dependencies(exchange_tests zelksqlite disksrv)
target_compile_definitions(exchange_tests PRIVATE
    TF_EXCHANGE_TEST_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql"
    TF_EXCHANGE_DISKSRV_EXE=L"Z:$<TARGET_FILE:disksrv>")
