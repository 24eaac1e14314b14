# strip_bench.exe: moving to another patient (name lookup, strip query, 20
# thumbnails drawn) and opening an image from a thumbnail click to its first
# paint in the main image panel, on a demo site made in a temp folder, as
# ratios to a memcpy of 18 MB in the same run. Needs an X display and the
# registered provider: run build/wine-run.sh build/bench/strip_bench.exe.
add_executable(strip_bench ${CMAKE_CURRENT_LIST_DIR}/strip_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(strip_bench PRIVATE tf_options appcore viewer demosite_lib)
add_dependencies(strip_bench zelksqlite)
target_compile_definitions(strip_bench PRIVATE TF_STRIP_BENCH_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
