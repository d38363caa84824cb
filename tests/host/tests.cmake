# Host unit tests: every tests/host/*.cpp is part of one gtest executable.
file(GLOB MARLO_HOST_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
add_executable(marlo_host_tests ${MARLO_HOST_TEST_SOURCES})
target_link_libraries(marlo_host_tests PRIVATE marlo_core marlo_pack_lib gtest_main)
target_compile_options(marlo_host_tests PRIVATE ${MARLO_WARNINGS})
target_compile_definitions(marlo_host_tests PRIVATE MARLO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
include(GoogleTest)
gtest_discover_tests(marlo_host_tests TEST_PREFIX "host." DISCOVERY_TIMEOUT 60)
