# dialect_bench.exe: one prepared statement of the program executed 100,000
# times through the ZelkSQLite provider (its SQL Server text translated once)
# and the same loop through the SQLite C API on the translated text; prints the
# ratio. Run it with build/wine-run.sh build/bench/dialect_bench.exe after
# ./test.sh registered the provider.
add_executable(dialect_bench dialect_bench.cpp)
target_link_libraries(dialect_bench PRIVATE tf_options tf_sqlite ole32 oleaut32 uuid)
