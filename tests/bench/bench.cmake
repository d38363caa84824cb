# The baseline program of the start-up benchmark (x64, run under Wine by scripts/bench.sh).
add_executable(bench_baseline WIN32 ${CMAKE_SOURCE_DIR}/tests/bench/baseline.cpp ${CMAKE_SOURCE_DIR}/tests/bench/baseline.rc)
target_compile_definitions(bench_baseline PRIVATE ${MARLO_WIN_DEFS})
target_compile_options(bench_baseline PRIVATE ${MARLO_WARNINGS} ${MARLO_SIZE_FLAGS})
target_include_directories(bench_baseline PRIVATE ${CMAKE_SOURCE_DIR}/src/windows/jni)
target_include_directories(bench_baseline SYSTEM PRIVATE ${MARLO_JNI_INCLUDE_DIR})
target_link_options(bench_baseline PRIVATE -municode -static -s)
target_link_libraries(bench_baseline PRIVATE comctl32 user32 gdi32 advapi32 kernel32)

add_executable(bench_copy ${CMAKE_SOURCE_DIR}/tests/bench/copy.cpp)
target_compile_options(bench_copy PRIVATE ${MARLO_WARNINGS})
target_link_options(bench_copy PRIVATE -municode -static -s)

add_executable(bench_run ${CMAKE_SOURCE_DIR}/tests/bench/run.cpp)
target_compile_options(bench_run PRIVATE ${MARLO_WARNINGS})
target_link_options(bench_run PRIVATE -municode -static -s)
target_link_libraries(bench_run PRIVATE user32 gdi32 advapi32)

add_executable(bench_window WIN32 ${CMAKE_SOURCE_DIR}/tests/bench/window.cpp ${CMAKE_SOURCE_DIR}/tests/bench/window.rc)
target_compile_options(bench_window PRIVATE ${MARLO_WARNINGS} ${MARLO_SIZE_FLAGS})
target_link_options(bench_window PRIVATE -municode -static -s)
target_link_libraries(bench_window PRIVATE user32 gdi32)
