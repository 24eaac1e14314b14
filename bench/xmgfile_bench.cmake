# Opening and writing a 3000x3000 14-bit ".xmg" against a memcpy of its bytes.
add_executable(xmgfile_bench xmgfile_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(xmgfile_bench PRIVATE tf_options demosite_lib)
