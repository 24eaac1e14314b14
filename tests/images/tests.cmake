# Every images test runs under Wine; the pixel-only ones (pixel_tests.cmake)
# also run natively with sanitizers (tests/native).
file(GLOB IMAGES_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(images SOURCES ${IMAGES_TESTS} LIBRARIES images)
