# The packing tool: a library (shared with the host tests) and the command.
list(TRANSFORM MARLO_PACK_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE marlo_pack_sources)
add_library(marlo_pack_lib STATIC ${marlo_pack_sources})
# toml++ is used header-only, as in the Windows build of the tool and the fuzz targets, not through
# the distribution's shared library: Description.cpp replaces one of the parser's inline functions,
# which only takes effect where the parser is compiled with it.
target_link_libraries(marlo_pack_lib PUBLIC marlo_core)
marlo_require_path(/usr/include/toml++/toml.h libtomlplusplus-dev "toml++/toml.h")
target_include_directories(marlo_pack_lib PUBLIC ${CMAKE_SOURCE_DIR}/tools/marlo-pack)
# stb_image (header-only) decodes splash images.
marlo_require_path(/usr/include/stb/stb_image.h libstb-dev "stb_image.h")
target_compile_options(marlo_pack_lib PRIVATE ${MARLO_WARNINGS})

add_executable(marlo-pack ${CMAKE_SOURCE_DIR}/tools/marlo-pack/main.cpp)
target_link_libraries(marlo-pack PRIVATE marlo_pack_lib)
target_compile_options(marlo-pack PRIVATE ${MARLO_WARNINGS})
set_target_properties(marlo-pack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_compile_definitions(marlo_pack_lib PRIVATE MARLO_VERSION="${PROJECT_VERSION}")
