# Host build (Linux): the packing tool, host unit tests, the fuzz target, and the two Windows
# builds as sub-builds, so that one configure, one build and one ctest cover everything.
include(ExternalProject)

option(MARLO_WINDOWS "Cross-build the Windows launchers and test programs" ON)
option(MARLO_SANITIZE "Build host unit tests with AddressSanitizer and UBSan" ON)
option(MARLO_FUZZ "Build the block parser fuzz target with clang/libFuzzer" ON)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

find_package(tomlplusplus)
if(NOT tomlplusplus_FOUND)
  message(FATAL_ERROR "toml++ not found: install the Debian package libtomlplusplus-dev (scripts/install-deps.sh)")
endif()

if(MARLO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(marlo_core STATIC ${MARLO_CORE_SOURCES} src/diag/HostLog.cpp)
target_include_directories(marlo_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(marlo_core PRIVATE ${MARLO_WARNINGS})

include(${CMAKE_SOURCE_DIR}/tools/marlo-pack/pack.cmake)

enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(${CMAKE_SOURCE_DIR}/tests/host/tests.cmake)

if(MARLO_WINDOWS)
  # The sub-builds' compilers, and what the Windows and end-to-end tests run with.
  marlo_require_program(MARLO_MINGW_I686 i686-w64-mingw32-g++-posix g++-mingw-w64-i686)
  marlo_require_program(MARLO_MINGW_X64 x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64)
  marlo_require_program(MARLO_WINE wine wine)
  marlo_require_path(/usr/lib/wine/wine64 wine64 "64-bit Wine")
  marlo_require_program(MARLO_XVFB Xvfb xvfb)
  marlo_require_program(MARLO_OSSLSIGNCODE osslsigncode osslsigncode)
  marlo_require_program(MARLO_OPENSSL openssl openssl)
  find_package(nlohmann_json 3)
  if(NOT nlohmann_json_FOUND)
    message(FATAL_ERROR "nlohmann/json not found: install the Debian package nlohmann-json3-dev (scripts/install-deps.sh)")
  endif()
  set(MARLO_WIN32_DIR ${CMAKE_BINARY_DIR}/win32)
  set(MARLO_WIN64_DIR ${CMAKE_BINARY_DIR}/win64)
  foreach(arch IN ITEMS win32 win64)
    if(arch STREQUAL "win32")
      set(toolchain ${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw-i686.cmake)
    else()
      set(toolchain ${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw-x86_64.cmake)
    endif()
    ExternalProject_Add(${arch}
      SOURCE_DIR ${CMAKE_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/${arch}
      CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${toolchain}
        -DCMAKE_BUILD_TYPE=Release
        -DMARLO_WERROR=${MARLO_WERROR}
        -DMARLO_OUTPUT_DIR=${CMAKE_BINARY_DIR}/bin
      BUILD_ALWAYS ON
      INSTALL_COMMAND ""
      USES_TERMINAL_BUILD ON)
  endforeach()
  # Windows unit tests run in the x64 sub-build's own ctest, under Wine, in a private prefix.
  add_test(NAME win.unit
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-wine-prefix.sh
                   ${CMAKE_CTEST_COMMAND} --test-dir ${MARLO_WIN64_DIR} --output-on-failure)
  # The Wine suites take turns, so that each has the machine's attention and one cannot disturb
  # the other's session.
  set_tests_properties(win.unit PROPERTIES RESOURCE_LOCK wine)
  include(${CMAKE_SOURCE_DIR}/tests/e2e/tests.cmake)
endif()

if(MARLO_FUZZ)
  marlo_require_program(MARLO_CLANGXX clang++ clang)
  file(GLOB MARLO_LIBFUZZER /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a)
  if(NOT MARLO_LIBFUZZER)
    message(FATAL_ERROR "libFuzzer not found: install the Debian package libclang-rt-14-dev (scripts/install-deps.sh)")
  endif()
  if(MARLO_CLANGXX)
    ExternalProject_Add(fuzz
      SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz
      BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz
      CMAKE_ARGS -DCMAKE_CXX_COMPILER=${MARLO_CLANGXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo
                 -DMARLO_SOURCE_DIR=${CMAKE_SOURCE_DIR}
      BUILD_ALWAYS ON
      INSTALL_COMMAND "")
    # Each target briefly, from its seeds (block_parser's corpus grows across runs).
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz/corpus)
    add_test(NAME fuzz.block_parser
             COMMAND ${CMAKE_BINARY_DIR}/fuzz/fuzz_block_parser -max_total_time=30 -rss_limit_mb=1024
                     ${CMAKE_BINARY_DIR}/fuzz/corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds)
    foreach(target command_line java_version notification expand description pe_image vm_options release resources
                   app_resources)
      file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz/corpus-${target})
      add_test(NAME fuzz.${target}
               COMMAND ${CMAKE_BINARY_DIR}/fuzz/fuzz_${target} -max_total_time=10 -rss_limit_mb=1024
                       -timeout=10 -dict=${CMAKE_SOURCE_DIR}/tests/fuzz/dict/${target}.dict
                       ${CMAKE_BINARY_DIR}/fuzz/corpus-${target} ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds-${target})
    endforeach()
  endif()
endif()
