# Windows-side test programs (x64 only; they run under Wine).
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(${CMAKE_SOURCE_DIR}/tests/win/tests.cmake)
include(${CMAKE_SOURCE_DIR}/tests/probe/probe.cmake)
include(${CMAKE_SOURCE_DIR}/tests/runtime/runtime.cmake)
include(${CMAKE_SOURCE_DIR}/tests/bench/bench.cmake)
