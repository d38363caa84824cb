# End-to-end tests: the real launchers (built by the win32 and win64 sub-builds) packed by
# marlo-pack and run under Wine, plus static checks of the shipped executables.
file(GLOB MARLO_E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
add_executable(marlo_e2e_tests ${MARLO_E2E_SOURCES})
target_link_libraries(marlo_e2e_tests PRIVATE marlo_core gtest_main nlohmann_json::nlohmann_json)
target_compile_options(marlo_e2e_tests PRIVATE ${MARLO_WARNINGS})
# The natives of the kavora platform classes, as the stand-in VM declares them.
target_include_directories(marlo_e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/runtime)
target_compile_definitions(marlo_e2e_tests PRIVATE
  MARLO_E2E_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
  MARLO_E2E_RESOURCES="${CMAKE_SOURCE_DIR}/src/resources"
  MARLO_E2E_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  MARLO_E2E_PROBE="${MARLO_WIN64_DIR}/bin/probe.exe")
add_dependencies(marlo_e2e_tests win32 win64)
if(TARGET marlo-pack)
  add_dependencies(marlo_e2e_tests marlo-pack)
endif()

# One process for all Wine tests, so that they share one booted prefix; the static checks need
# no Wine and run on their own.
add_test(NAME e2e.deliverables COMMAND marlo_e2e_tests --gtest_filter=Launchers/DeliverableTest.*)
add_test(NAME e2e.wine COMMAND marlo_e2e_tests --gtest_filter=-Launchers/DeliverableTest.*:StartupTest.Reboot*)
set_tests_properties(e2e.wine PROPERTIES TIMEOUT 1200 RESOURCE_LOCK wine)
# A granted reboot request disturbs the Wine session beyond its own prefix (later message boxes on
# the shared display no longer appeared), so it runs in a test process of its own.
add_test(NAME e2e.reboot COMMAND marlo_e2e_tests --gtest_filter=StartupTest.Reboot*)
set_tests_properties(e2e.reboot PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine)
