# Every tests/windows/*_test.cpp becomes its own test program, run under Wine.
file(GLOB _support_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/windows/support/*.cpp")
add_library(velko_test_support STATIC ${_support_sources})
target_link_libraries(velko_test_support PUBLIC velko_win GTest::gtest GTest::gmock crypt32 ntdll)
target_include_directories(velko_test_support PUBLIC tests/windows)
target_compile_definitions(velko_test_support PUBLIC
  VELKO_BUILD_DIR="${CMAKE_BINARY_DIR}" VELKO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

set(VELKO_WINDOWS_TEST_TARGETS "")
file(GLOB _windows_tests CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/windows/*_test.cpp")
foreach(_file IN LISTS _windows_tests)
  get_filename_component(_name "${_file}" NAME_WE)
  add_executable(${_name} "${_file}" "${VELKO_CARRIED_BOOTSTRAPPER_RC}")
  target_link_libraries(${_name} PRIVATE velko_test_support GTest::gtest_main)
  # The product and the stand-ins must be built before the tests that run them.
  add_dependencies(${_name} VelkoTarnOnlineInstaller)
  # The harness (up.d/50-test-service) runs trust-ca to make the prefix trust the test service.
  add_dependencies(${_name} trust-ca)
  list(APPEND VELKO_WINDOWS_TEST_TARGETS ${_name})
  gtest_discover_tests(${_name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
    PROPERTIES FIXTURES_REQUIRED "velko_harness"
               # One prefix, one display and one download service per build: run them one at a time.
               RESOURCE_LOCK "velko_prefix")
endforeach()

# Reads the product's version resource.
target_link_libraries(version_resource_test PRIVATE version)

add_test(NAME harness_setup COMMAND "${CMAKE_SOURCE_DIR}/scripts/harness/harness-ctl" up "${VELKO_HARNESS_DIR}")
set_tests_properties(harness_setup PROPERTIES FIXTURES_SETUP velko_harness)
add_test(NAME harness_teardown COMMAND "${CMAKE_SOURCE_DIR}/scripts/harness/harness-ctl" down "${VELKO_HARNESS_DIR}")
set_tests_properties(harness_teardown PROPERTIES FIXTURES_CLEANUP velko_harness)

add_test(NAME product_imports_only_known_dlls
  COMMAND "${CMAKE_SOURCE_DIR}/scripts/check-product-image" "$<TARGET_FILE:VelkoTarnOnlineInstaller>")
