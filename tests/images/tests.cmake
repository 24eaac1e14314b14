# Every images test runs under Wine; the pixel-only ones (pixel_tests.cmake)
# also run natively with sanitizers (tests/native). The image-file tests drive
# the real provider (made and registered by the build and ./test.sh) on a
# database made from the site schema with the demo-site library.
file(GLOB IMAGES_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(images SOURCES ${IMAGES_TESTS} LIBRARIES images viewer demosite_lib)
add_dependencies(images_tests zelksqlite)
# Wine's drive Z: is the host's root: the test reads the schema from the source tree.
target_compile_definitions(images_tests PRIVATE
    TF_IMAGES_TEST_SCHEMA="Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
