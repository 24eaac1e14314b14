# Printing: page arithmetic, the print job on the real CUPS printers of the
# run (./test.sh starts them), fonts, profiles, the configuration dialogs, the
# query-script reader, the print-state and printer status windows against a
# scripted spooler, reports and picture sheets of the demo database printed
# to PDF, and the commands printing installs into the program (its installer
# is compiled in as into the program).
file(GLOB PRINTING_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
# The cases that print to the CUPS printers run one at a time: Wine numbers
# print jobs per process and spools job n of every process to one file, and
# an aborted or failed document keeps that file open until its process ends.
tf_add_test_executable(printing SOURCES ${PRINTING_TESTS} ${CMAKE_SOURCE_DIR}/printing/programservices.cpp
    LIBRARIES printing appcore demosite_lib
    LOCKED "PrintToPdf.*:FirstPrints/FreshSite.*:PrintJobStates.*:PrintJobPage.*:PrintJobText.*:PrintJobPdf.*:SystemSpooler.*"
           printers)
add_dependencies(printing_tests zelksqlite)
# Wine's drive Z: is the host's root: the tests read the schema and the
# site's description files from the source tree.
target_compile_definitions(printing_tests PRIVATE
    TF_PRINTING_TEST_SCHEMA="Z:${CMAKE_SOURCE_DIR}/site/schema.sql"
    TF_PRINTING_TEST_SITE="Z:${CMAKE_SOURCE_DIR}/site/")
