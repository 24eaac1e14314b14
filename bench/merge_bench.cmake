# merge_bench.exe: the database merge between two sites made in a temp folder:
# 40 images of 3000x3000 against reading and saving them through the image
# records alone, and 2,000 small images against 200. Needs the registered
# provider: run build/wine-run.sh build/bench/merge_bench.exe.
add_executable(merge_bench ${CMAKE_CURRENT_LIST_DIR}/merge_bench.cpp ${CMAKE_SOURCE_DIR}/tests/common/test_files.cpp
    $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(merge_bench PRIVATE tf_options exchange_merge demosite_lib)
add_dependencies(merge_bench zelksqlite)
target_compile_definitions(merge_bench PRIVATE TF_MERGE_BENCH_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
