# Timings of the pixel code against a memcpy of the same bytes in the same
# run. Built with the program, run by hand (build/wine-run.sh
# build/bench/images_bench.exe); not a ctest.
add_executable(images_bench images_bench.cpp)
target_link_libraries(images_bench PRIVATE tf_options images)
