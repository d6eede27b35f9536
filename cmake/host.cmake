# Host preset: the pure code's unit tests, natively, under the sanitizers.
file(GLOB _host_tests CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/host/*_test.cpp")
add_executable(host_tests ${_host_tests})
target_link_libraries(host_tests PRIVATE velko_core velko_sddl GTest::gtest_main GTest::gmock)
target_include_directories(host_tests PRIVATE tests/host tests/common)
gtest_discover_tests(host_tests DISCOVERY_MODE PRE_TEST)
# published_policy_test runs the release publishing command.
target_compile_definitions(host_tests PRIVATE VELKO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# The maker's release publishing command (Python, standard library only).
add_test(NAME publish_release
  COMMAND python3 -m unittest discover -s "${CMAKE_SOURCE_DIR}/tests/tools" -p publish_release_test.py)

# The fuzz targets' entry functions, linked into the host tests too: fuzz_corpus_replay_test runs
# every file of their seed corpora (fuzz/corpus) through them, so the corpora are checked
# without fuzzing.
file(GLOB _fuzz_target_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/fuzz/targets/*.cpp")
add_library(velko_fuzz_targets STATIC ${_fuzz_target_sources})
target_link_libraries(velko_fuzz_targets PUBLIC velko_core velko_sddl)
target_include_directories(velko_fuzz_targets PUBLIC fuzz/targets tests/common)
target_link_libraries(host_tests PRIVATE velko_fuzz_targets)

# The libFuzzer programs, one per target: only scripts/fuzz builds them, with clang, in its own
# build folder (it also compiles everything with -fsanitize=fuzzer-no-link for the coverage).
option(VELKO_FUZZ "Build the libFuzzer programs (clang only; see scripts/fuzz)" OFF)
if(VELKO_FUZZ)
  file(GLOB _fuzz_programs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp")
  add_custom_target(fuzz_programs)
  foreach(_program IN LISTS _fuzz_programs)
    get_filename_component(_name "${_program}" NAME_WE)
    add_executable(${_name} EXCLUDE_FROM_ALL "${_program}")
    target_link_libraries(${_name} PRIVATE velko_fuzz_targets)
    target_link_options(${_name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzz_programs ${_name})
  endforeach()
endif()
