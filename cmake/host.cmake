# Host preset: the pure code's unit tests, natively, under the sanitizers.
file(GLOB _host_tests CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/host/*_test.cpp")
add_executable(host_tests ${_host_tests})
target_link_libraries(host_tests PRIVATE velko_core GTest::gtest_main GTest::gmock)
target_include_directories(host_tests PRIVATE tests/host)
gtest_discover_tests(host_tests DISCOVERY_MODE PRE_TEST)
# published_policy_test runs the release publishing command.
target_compile_definitions(host_tests PRIVATE VELKO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# The maker's release publishing command (Python, standard library only).
add_test(NAME publish_release
  COMMAND python3 -m unittest discover -s "${CMAKE_SOURCE_DIR}/tests/tools" -p publish_release_test.py)
