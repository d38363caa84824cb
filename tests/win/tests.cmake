# Windows unit tests: the Win32 shell driven in-process, x64 gtest run under Wine by ctest (the
# toolchain's emulator). The launcher's own sources come along without its entry point, built as
# the launcher without the native splash is.
file(GLOB MARLO_WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
set(MARLO_WIN_TEST_LAUNCHER_SOURCES ${MARLO_LAUNCHER_SOURCES})
list(FILTER MARLO_WIN_TEST_LAUNCHER_SOURCES EXCLUDE REGEX "WinMain\\.cpp$")
list(TRANSFORM MARLO_WIN_TEST_LAUNCHER_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)

add_executable(marlo_win_tests ${MARLO_WIN_TEST_SOURCES} ${MARLO_WIN_TEST_LAUNCHER_SOURCES})
target_include_directories(marlo_win_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
target_compile_definitions(marlo_win_tests PRIVATE MARLO_NATIVE_SPLASH=0 MARLO_BITS=${MARLO_BITS})
target_compile_options(marlo_win_tests PRIVATE ${MARLO_WARNINGS})
target_link_libraries(marlo_win_tests PRIVATE marlo_shell gtest_main)
target_link_options(marlo_win_tests PRIVATE -static)

enable_testing()
add_test(NAME win.unit COMMAND marlo_win_tests)
