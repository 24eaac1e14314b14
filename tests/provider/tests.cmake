# The OLE DB provider, driven through Wine's data initialisation service and
# the registration that ./test.sh makes; SQLite itself makes the test databases.
file(GLOB PROVIDER_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(provider SOURCES ${PROVIDER_TESTS} LIBRARIES tf_sqlite ole32 oleaut32 uuid)
add_dependencies(provider_tests zelksqlite)
