# exchange_bench.exe: importing a 3000x3000 ".xmg" as a new image against
# opening and saving it through the image records, and saving it as a DICOM
# file through the export server stand-in against writing its raw bytes.
# Needs the registered provider and stand-in: run it through bench/run-all.sh.
add_executable(exchange_bench ${CMAKE_CURRENT_LIST_DIR}/exchange_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(exchange_bench PRIVATE tf_options eximages demosite_lib)
add_dependencies(exchange_bench zelksqlite dicomsrv)
target_compile_definitions(exchange_bench PRIVATE TF_EXCHANGE_BENCH_SCHEMA=L"Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
