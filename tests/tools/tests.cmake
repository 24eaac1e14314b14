# The demo-site tool (tools/demosite): its script splitter and synthetic
# radiographs, the site and its second workstation made end to end through
# the provider and the system's save, and the merge settings it installs run
# through the merge engine over the site it made. The shell checks of tools/
# are declared in tests/CMakeLists.txt.
file(GLOB TOOLS_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
tf_add_test_executable(tools
    SOURCES ${TOOLS_TESTS} ${CMAKE_CURRENT_LIST_DIR}/../images/imagefiles_fixture.cpp
    LIBRARIES exchange_merge demosite_lib viewer imagefiles images database)
add_dependencies(tools_tests zelksqlite)
target_compile_definitions(tools_tests PRIVATE
    TF_IMAGES_TEST_SCHEMA="Z:${CMAKE_SOURCE_DIR}/site/schema.sql")
