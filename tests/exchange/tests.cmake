# The data exchange: the import's readers and the BMP writer (also natively,
# pure_tests.cmake), the image import and export with their dialogs on a
# database made from the site schema, the DICOM attribute list, the DICOM
# export client against the stand-in server (tools/dicomsrv), whose files the
# host's dcmtk and dicom3tools check, and the DICOM queue window. The cases
# of the suites named Dicom* share the one stand-in server of the prefix and
# its settings: they run one at a time.
file(GLOB EXCHANGE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(exchange
    SOURCES ${EXCHANGE_TESTS} ${CMAKE_CURRENT_LIST_DIR}/../images/imagefiles_fixture.cpp
            ${CMAKE_SOURCE_DIR}/tools/dicomsrv/dicomfile.cpp
    LIBRARIES exchange appcore viewer demosite_lib
    LOCKED "Dicom*" dicomsrv)
add_dependencies(exchange_tests zelksqlite dicomsrv)
target_compile_definitions(exchange_tests PRIVATE
    TF_IMAGES_TEST_SCHEMA="Z:${CMAKE_SOURCE_DIR}/site/schema.sql"
    TF_DICOMSRV_EXE=L"Z:$<TARGET_FILE:dicomsrv>")
