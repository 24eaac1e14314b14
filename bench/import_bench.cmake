# import_bench.exe: reading an imported BMP file (8 and 24 bits; a wide, a
# tall and a square picture) against a memcpy of the file's bytes.
add_executable(import_bench ${CMAKE_CURRENT_LIST_DIR}/import_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(import_bench PRIVATE tf_options eximages)
