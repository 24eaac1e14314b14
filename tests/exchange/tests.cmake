# Data exchange: removable drives, the disk service client, the Eject Disk
# dialog and the archive registry values (disks_*); the synchronisation's
# progress channel, worker, scans, steps and re-insertion (sync_*); the
# database merge between two demo sites, this workstation's and another's
# (merge_*); the synchronisation window with its pane, dialogs and suspect
# moves, opened as the program opens it (sync_wnd_*); the image file import
# and export with their dialogs and readers (images_*, the readers also
# natively: pure_tests.cmake); the DICOM attribute
# list, the DICOM export client against the stand-in server (tools/dicomsrv),
# whose files the host's dcmtk and dicom3tools check, and the DICOM queue
# window (dicom_*). They run against archive disks simulated through Wine's
# mount manager, the disk service stand-in (tools/disksrv) and the real
# provider on databases made from the site schema. The cases of the suites
# named Dicom* share the one DICOM server of the prefix and its settings: they
# run one at a time.
file(GLOB EXCHANGE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(exchange
    SOURCES ${EXCHANGE_TESTS} ${CMAKE_SOURCE_DIR}/exchange/disks/programservices.cpp
            ${CMAKE_SOURCE_DIR}/exchange/merge/programservices.cpp ${CMAKE_SOURCE_DIR}/exchange/sync/programservices.cpp
            ${CMAKE_CURRENT_LIST_DIR}/../images/imagefiles_fixture.cpp ${CMAKE_SOURCE_DIR}/tools/dicomsrv/dicomfile.cpp
    LIBRARIES exchange_merge eximages exdicom exsync exdisks appcore viewer demosite_lib imagefiles images database tf_sqlite
    LOCKED "Dicom*" dicomsrv)
add_dependencies(exchange_tests zelksqlite disksrv dicomsrv)
target_compile_definitions(exchange_tests PRIVATE
    TF_EXCHANGE_TEST_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql"
    TF_EXCHANGE_DISKSRV_EXE=L"Z:$<TARGET_FILE:disksrv>"
    TF_IMAGES_TEST_SCHEMA="Z:${CMAKE_SOURCE_DIR}/site/schema.sql"
    TF_DICOMSRV_EXE=L"Z:$<TARGET_FILE:dicomsrv>")
