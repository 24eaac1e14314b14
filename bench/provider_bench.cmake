# provider_bench.exe: inserts and reads 1,000, 10,000 and 100,000 patients (or
# the sizes given as arguments) through OLE DB and through the SQLite C API in
# the same run; prints the ratios and how the costs grow with the size, and
# exits with 1 when a limit is exceeded, naming it. Run it with
# build/wine-run.sh build/bench/provider_bench.exe after ./test.sh registered the provider.
add_executable(provider_bench provider_bench.cpp)
target_link_libraries(provider_bench PRIVATE tf_options tf_sqlite ole32 oleaut32 uuid)
