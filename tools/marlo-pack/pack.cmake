# The packing tool: a library (shared with the host tests) and the command.
add_library(marlo_pack_lib STATIC ${CMAKE_SOURCE_DIR}/tools/marlo-pack/PackStub.cpp)
target_link_libraries(marlo_pack_lib PUBLIC marlo_core tomlplusplus::tomlplusplus)
target_include_directories(marlo_pack_lib PUBLIC ${CMAKE_SOURCE_DIR}/tools/marlo-pack)
