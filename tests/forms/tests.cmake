file(GLOB FORMS_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(forms SOURCES ${FORMS_TESTS} LIBRARIES forms tf_sqlite)
# The demo site's description files and schema, read by the forms tests (Wine's Z: drive is the root).
target_compile_definitions(forms_tests PRIVATE TF_SITE_DIR=L"Z:${CMAKE_SOURCE_DIR}/site/")
# The card and filter tests reach the real provider (registered by ./test.sh).
add_dependencies(forms_tests zelksqlite)
