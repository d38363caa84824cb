# The stand-in Java runtime of the tests (x64, run under Wine): java.exe, unpack200.exe, jvm.dll
# jvm_noentry.dll (no JNI_CreateJavaVM) and splashscreen.dll. Static, so that copies work in any folder; tests copy
# them into runtime layouts of their own.
set(MARLO_RUNTIME_DIR ${CMAKE_BINARY_DIR}/bin/runtime)

function(marlo_runtime_program name)
  add_executable(runtime_${name} ${ARGN})
  set_target_properties(runtime_${name} PROPERTIES OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${MARLO_RUNTIME_DIR})
  target_compile_options(runtime_${name} PRIVATE ${MARLO_WARNINGS})
  target_link_options(runtime_${name} PRIVATE -static -s)
endfunction()

marlo_runtime_program(java ${CMAKE_SOURCE_DIR}/tests/runtime/java.cpp ${CMAKE_SOURCE_DIR}/tests/runtime/StandIn.cpp)
marlo_runtime_program(unpack200 ${CMAKE_SOURCE_DIR}/tests/runtime/unpack200.cpp ${CMAKE_SOURCE_DIR}/tests/runtime/StandIn.cpp)

function(marlo_runtime_library name)
  add_library(runtime_${name} SHARED ${ARGN})
  set_target_properties(runtime_${name} PROPERTIES OUTPUT_NAME ${name} PREFIX ""
                        RUNTIME_OUTPUT_DIRECTORY ${MARLO_RUNTIME_DIR})
  target_compile_options(runtime_${name} PRIVATE ${MARLO_WARNINGS})
  target_link_options(runtime_${name} PRIVATE -static -s)
endfunction()

# The scripted VM speaks the Windows JNI ABI of the launcher: our jni_md.h before the JDK's headers.
marlo_runtime_library(jvm ${CMAKE_SOURCE_DIR}/tests/runtime/jvm.cpp ${CMAKE_SOURCE_DIR}/tests/runtime/JvmWorld.cpp)
target_compile_definitions(runtime_jvm PRIVATE STANDIN_EXPORT_CREATE=1 _JNI_IMPLEMENTATION_)
target_include_directories(runtime_jvm PRIVATE ${CMAKE_SOURCE_DIR}/src/windows/jni)
target_include_directories(runtime_jvm SYSTEM PRIVATE ${MARLO_JNI_INCLUDE_DIR})
marlo_runtime_library(jvm_noentry ${CMAKE_SOURCE_DIR}/tests/runtime/jvm.cpp)
target_compile_definitions(runtime_jvm_noentry PRIVATE STANDIN_EXPORT_CREATE=0)

# splashscreen.dll records its calls; splashscreen_noclose.dll lacks SplashClose.
marlo_runtime_library(splashscreen ${CMAKE_SOURCE_DIR}/tests/runtime/splashscreen.cpp)
marlo_runtime_library(splashscreen_noclose ${CMAKE_SOURCE_DIR}/tests/runtime/splashscreen.cpp)
target_compile_definitions(runtime_splashscreen_noclose PRIVATE STANDIN_NO_CLOSE=1)

# The win tests copy the stand-in (from bin\runtime beside them) into their fixtures.
if(TARGET marlo_win_tests)
  add_dependencies(marlo_win_tests runtime_java runtime_unpack200 runtime_jvm runtime_jvm_noentry runtime_splashscreen
                   runtime_splashscreen_noclose runtime_kvrinst runtime_kvrinst_nogetvalue)
  # The stand-in VM's own test loads it from where it was built.
  target_compile_definitions(marlo_win_tests PRIVATE MARLO_STANDIN_JVM="$<TARGET_FILE:runtime_jvm>")
endif()

# kvrinst.dll exports every native of the kavora platform classes; kvrinst_nogetvalue.dll lacks
# Registry.getValue0.
marlo_runtime_library(kvrinst ${CMAKE_SOURCE_DIR}/tests/runtime/kvrinst.cpp)
marlo_runtime_library(kvrinst_nogetvalue ${CMAKE_SOURCE_DIR}/tests/runtime/kvrinst.cpp)
target_compile_definitions(runtime_kvrinst_nogetvalue PRIVATE STANDIN_WITHOUT_REGISTRY_GETVALUE=1)
