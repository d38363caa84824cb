# The packing tool: a library (shared with the host tests) and the command.
add_library(marlo_pack_lib STATIC
  ${CMAKE_SOURCE_DIR}/tools/marlo-pack/Description.cpp
  ${CMAKE_SOURCE_DIR}/tools/marlo-pack/FileIo.cpp
  ${CMAKE_SOURCE_DIR}/tools/marlo-pack/KeyReference.cpp
  ${CMAKE_SOURCE_DIR}/tools/marlo-pack/Pack.cpp
  ${CMAKE_SOURCE_DIR}/tools/marlo-pack/PeImage.cpp)
target_link_libraries(marlo_pack_lib PUBLIC marlo_core tomlplusplus::tomlplusplus)
target_include_directories(marlo_pack_lib PUBLIC ${CMAKE_SOURCE_DIR}/tools/marlo-pack)
target_compile_options(marlo_pack_lib PRIVATE ${MARLO_WARNINGS})

add_executable(marlo-pack ${CMAKE_SOURCE_DIR}/tools/marlo-pack/main.cpp)
target_link_libraries(marlo-pack PRIVATE marlo_pack_lib)
target_compile_options(marlo-pack PRIVATE ${MARLO_WARNINGS})
set_target_properties(marlo-pack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_compile_definitions(marlo_pack_lib PRIVATE MARLO_VERSION="${PROJECT_VERSION}")
