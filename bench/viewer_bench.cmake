# viewer_bench.exe: the image panel's window/level and pan steps on a 3000 x
# 3000 picture in a real window, as ratios to a memcpy of its 18 MB in the same
# run. Needs an X display: run build/wine-run.sh build/bench/viewer_bench.exe
# under Xvfb.
add_executable(viewer_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_bench.cpp $<TARGET_OBJECTS:tf_resources>)
target_link_libraries(viewer_bench PRIVATE tf_options viewer)
