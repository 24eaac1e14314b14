# Printing: page arithmetic, the print job on the real CUPS printers of the
# run (./test.sh starts them), fonts, profiles, the configuration dialogs and
# the query-script reader.
file(GLOB PRINTING_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(printing SOURCES ${PRINTING_TESTS} LIBRARIES printing appcore)
