# Cross build for Windows (i686 or x86_64 MinGW-w64): the launchers and, for x64, the Windows
# test programs that run under Wine.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(MARLO_SUFFIX 64)
else()
  set(MARLO_SUFFIX "")
endif()
if(NOT MARLO_OUTPUT_DIR)
  set(MARLO_OUTPUT_DIR ${CMAKE_BINARY_DIR}/bin)
endif()
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

enable_language(RC)
# The launcher code uses no exceptions and no RTTI; leaving them out keeps the programs small.
set(MARLO_SIZE_FLAGS -Os -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables)
# With data sections, MinGW's compiler puts zero-initialized variables into sections with contents;
# the splash window's two 6000-byte text lines are built without them so they stay in .bss.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/splash/SplashWindow.cpp PROPERTIES COMPILE_OPTIONS -fno-data-sections)
set(MARLO_WIN_DEFS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(marlo_core STATIC ${MARLO_CORE_SOURCES})
target_include_directories(marlo_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(marlo_core PRIVATE ${MARLO_WARNINGS} ${MARLO_SIZE_FLAGS})
target_compile_definitions(marlo_core PUBLIC ${MARLO_WIN_DEFS})

add_library(marlo_shell STATIC ${MARLO_SHELL_SOURCES})
target_compile_options(marlo_shell PRIVATE ${MARLO_WARNINGS} ${MARLO_SIZE_FLAGS})
target_link_libraries(marlo_shell PUBLIC marlo_core comctl32 user32 gdi32 advapi32 kernel32)
# JNI: the JDK's jni.h with our Windows jni_md.h, which must be found before any platform header.
set(MARLO_JNI_INCLUDE_DIR /usr/lib/jvm/java-17-openjdk-amd64/include CACHE PATH "Directory holding jni.h")
marlo_require_path(${MARLO_JNI_INCLUDE_DIR}/jni.h openjdk-17-jdk-headless "jni.h")
target_include_directories(marlo_shell PUBLIC ${CMAKE_SOURCE_DIR}/src/windows/jni)
target_include_directories(marlo_shell SYSTEM PUBLIC ${MARLO_JNI_INCLUDE_DIR})

function(marlo_launcher name native_splash rc)
  set(target ${name}${MARLO_SUFFIX})
  add_executable(${target} WIN32 ${MARLO_LAUNCHER_SOURCES} ${CMAKE_SOURCE_DIR}/src/common/LauncherRuntime.cpp
    ${CMAKE_SOURCE_DIR}/src/resources/${rc})
  target_compile_options(${target} PRIVATE ${MARLO_WARNINGS} ${MARLO_SIZE_FLAGS})
  target_compile_definitions(${target} PRIVATE MARLO_NATIVE_SPLASH=${native_splash} MARLO_BITS=${MARLO_BITS})
  target_link_libraries(${target} PRIVATE marlo_shell)
  target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MARLO_OUTPUT_DIR})
endfunction()

marlo_launcher(marlo 1 marlo.rc)
marlo_launcher(pivok 0 pivok.rc)

# marlo-pack.exe: the packing tool for Windows x64, static, importing system DLLs only. Built from
# the same sources as the Linux tool, with exceptions (toml++ reports through them), so the portable
# core is compiled a second time for it.
if(MARLO_SUFFIX STREQUAL "64")
  # toml++ and stb_image are header-only here; only their own folders of the host's headers are put
  # on the path.
  set(MARLO_TOML_INCLUDE ${CMAKE_BINARY_DIR}/toml-include)
  file(MAKE_DIRECTORY ${MARLO_TOML_INCLUDE})
  file(CREATE_LINK /usr/include/toml++ ${MARLO_TOML_INCLUDE}/toml++ SYMBOLIC)
  list(TRANSFORM MARLO_CORE_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE MARLO_PACK_CORE_SOURCES)
  list(TRANSFORM MARLO_PACK_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE marlo_pack_sources)
  file(CREATE_LINK /usr/include/stb ${MARLO_TOML_INCLUDE}/stb SYMBOLIC)
  add_executable(marlo-pack
    ${MARLO_PACK_CORE_SOURCES}
    ${CMAKE_SOURCE_DIR}/src/diag/HostLog.cpp
    ${marlo_pack_sources}
    ${CMAKE_SOURCE_DIR}/tools/marlo-pack/main.cpp)
  target_include_directories(marlo-pack PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools/marlo-pack)
  target_include_directories(marlo-pack SYSTEM PRIVATE ${MARLO_TOML_INCLUDE})
  target_compile_definitions(marlo-pack PRIVATE TOML_HEADER_ONLY=1 MARLO_VERSION="${PROJECT_VERSION}")
  target_compile_options(marlo-pack PRIVATE ${MARLO_WARNINGS} -O2)
  target_link_options(marlo-pack PRIVATE -static -s)
  set_target_properties(marlo-pack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MARLO_OUTPUT_DIR})
endif()

if(MARLO_SUFFIX STREQUAL "64" AND NOT MARLO_NO_TESTS)
  include(cmake/WindowsTests.cmake)
endif()

# A 32-bit jvm.dll for the tests that check that the x64 launcher never hands one to the loader.
if(MARLO_SUFFIX STREQUAL "" AND NOT MARLO_NO_TESTS)
  add_library(runtime32_jvm SHARED ${CMAKE_SOURCE_DIR}/tests/runtime/jvm.cpp)
  set_target_properties(runtime32_jvm PROPERTIES OUTPUT_NAME jvm PREFIX ""
                        RUNTIME_OUTPUT_DIRECTORY ${MARLO_OUTPUT_DIR}/runtime32)
  target_compile_definitions(runtime32_jvm PRIVATE STANDIN_EXPORT_CREATE=0)
  target_link_options(runtime32_jvm PRIVATE -static -s)
endif()
