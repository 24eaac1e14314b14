# The archive job: archiving 40 images of 3000 x 3000 to a simulated disk
# against copying the same files, and the free-space step over 500 and 5,000
# archived images.
add_executable(archive_bench archive_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(archive_bench PRIVATE tf_options archive demosite_lib)
add_dependencies(archive_bench zelksqlite)
target_compile_definitions(archive_bench PRIVATE TF_BENCH_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
