# Appending 50,000 rows to the list view and paging through them against 5,000
# rows in the same run (needs a display).
add_executable(listview_bench listview_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(listview_bench PRIVATE tf_options ui foundation)
