# probe.exe: reads and presses the launcher's message boxes for the end-to-end tests (x64, run
# under Wine in the tests' prefix). Console program, linked statically so that it needs no DLLs
# beside it.
add_executable(probe ${CMAKE_SOURCE_DIR}/tests/probe/probe.cpp)
target_compile_definitions(probe PRIVATE ${MARLO_WIN_DEFS})
target_compile_options(probe PRIVATE ${MARLO_WARNINGS})
target_link_options(probe PRIVATE -municode -static -s)
target_link_libraries(probe PRIVATE user32 gdi32 shell32 version kernel32)
