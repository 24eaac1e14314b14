# print_bench.exe: a described report of 10,000 rows against 1,000 rows laid
# out to a memory printer (cost ratio beside size ratio), and a picture sheet
# of a 3000 x 3000 picture (one 8-bit grey bitmap at most once per page).
# Needs the registered provider:
# run build/wine-run.sh build/bench/print_bench.exe, or bench/run-all.sh.
add_executable(print_bench ${CMAKE_CURRENT_LIST_DIR}/print_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(print_bench PRIVATE tf_options printing appcore demosite_lib)
add_dependencies(print_bench zelksqlite)
target_compile_definitions(print_bench PRIVATE TF_PRINT_BENCH_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
