# dialect_bench.exe: two prepared statements of the program (an UPDATE, a SELECT
# read by the database layer's query object) executed 100,000 times through the ZelkSQLite provider
# and the same loops through the SQLite C API on the translated text; prints the
# ratios, fails above 1.5 (--profile: where the time goes). Run it with
# build/wine-run.sh build/bench/dialect_bench.exe after ./test.sh registered
# the provider.
add_executable(dialect_bench dialect_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(dialect_bench PRIVATE tf_options database tf_sqlite ole32 oleaut32 uuid)
