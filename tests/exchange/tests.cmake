# The data exchange. The merge's tests (merge_*) build two demo sites, this
# workstation's and another's, through the real provider (made and
# registered by the build and ./test.sh) from the site schema.
file(GLOB EXCHANGE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(exchange SOURCES ${EXCHANGE_TESTS} LIBRARIES exchange_merge demosite_lib)
add_dependencies(exchange_tests zelksqlite)
# Wine's drive Z: is the host's root: the tests read the schema from the source tree.
target_compile_definitions(exchange_tests PRIVATE
    TF_EXCHANGE_TEST_SCHEMA="Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
