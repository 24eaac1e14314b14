# Printing: page arithmetic, the print job on the real CUPS printers of the
# run (./test.sh starts them), fonts, profiles, the configuration dialogs, the
# query-script reader, and the commands printing installs into the program
# (its installer is compiled in as into the program).
file(GLOB PRINTING_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(printing SOURCES ${PRINTING_TESTS} ${CMAKE_SOURCE_DIR}/printing/programservices.cpp
    LIBRARIES printing appcore)
