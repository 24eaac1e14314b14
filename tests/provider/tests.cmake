# The OLE DB provider, driven through Wine's data initialisation service and
# the registration that ./test.sh makes; SQLite itself makes the test databases.
file(GLOB PROVIDER_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(provider SOURCES ${PROVIDER_TESTS} LIBRARIES zelk_dialect tf_sqlite ole32 oleaut32 uuid)
add_dependencies(provider_tests zelksqlite)
# The workstation's schema, run through the provider by the site tests (Wine's Z: drive is the root).
target_compile_definitions(provider_tests PRIVATE TF_SITE_DIR=L"Z:${CMAKE_SOURCE_DIR}/site/")
