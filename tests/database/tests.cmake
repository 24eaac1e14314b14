# The database layer against the real provider (made and registered by the
# build and ./test.sh); SQLite itself makes the test databases.
file(GLOB DATABASE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(database SOURCES ${DATABASE_TESTS} LIBRARIES database tf_sqlite)
add_dependencies(database_tests zelksqlite)
