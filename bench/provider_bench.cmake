# provider_bench.exe: inserts and reads patients through OLE DB and through the
# SQLite C API in the same run and prints the ratio. Run it with
# build/wine-run.sh build/bench/provider_bench.exe after ./test.sh registered the provider.
add_executable(provider_bench provider_bench.cpp)
target_link_libraries(provider_bench PRIVATE tf_options tf_sqlite ole32 oleaut32 uuid)
