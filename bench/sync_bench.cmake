# The synchronisation: the hard-disk scan against reading each file's header,
# and its growth with the number of files; the database synchronisation steps
# over 500 and 5,000 images to put back.
add_executable(sync_bench sync_bench.cpp ${CMAKE_SOURCE_DIR}/tests/common/test_files.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(sync_bench PRIVATE tf_options exsync demosite_lib)
add_dependencies(sync_bench zelksqlite)
target_compile_definitions(sync_bench PRIVATE TF_BENCH_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
