# Every tests/windows/*_test.cpp becomes its own test program, run under Wine.
file(GLOB _support_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/windows/support/*.cpp")
list(FILTER _support_sources EXCLUDE REGEX "/test_main_win\\.cpp$")
add_library(velko_test_support STATIC ${_support_sources})
target_link_libraries(velko_test_support PUBLIC velko_win velko_sddl GTest::gtest GTest::gmock crypt32 ntdll shell32 oleaut32)
target_include_directories(velko_test_support PUBLIC tests/windows tests/common)
target_compile_definitions(velko_test_support PUBLIC
  VELKO_BUILD_DIR="${CMAKE_BINARY_DIR}" VELKO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
# The tests' entry point: runs the tests, or the outside program a copy was started to play
# (support/child_role.h), which CTest therefore never lists.
add_library(velko_test_main STATIC tests/windows/support/test_main_win.cpp)
target_link_libraries(velko_test_main PUBLIC velko_test_support)

set(VELKO_WINDOWS_TEST_TARGETS "")
file(GLOB _windows_tests CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/windows/*_test.cpp")
foreach(_file IN LISTS _windows_tests)
  get_filename_component(_name "${_file}" NAME_WE)
  add_executable(${_name} "${_file}" "${VELKO_CARRIED_BOOTSTRAPPER_RC}")
  target_link_libraries(${_name} PRIVATE velko_test_main)
  # The product and the stand-ins must be built before the tests that run them.
  add_dependencies(${_name} VelkoTarnOnlineInstaller)
  # The harness (up.d/50-test-service) runs trust-ca to make the prefix trust the test service.
  add_dependencies(${_name} trust-ca)
  list(APPEND VELKO_WINDOWS_TEST_TARGETS ${_name})
  # Several test programs play the workbench installer with a copy of themselves: signed as the
  # maker signs it, by the key the test build pins.
  if(VELKO_TEST_PUBLISHER_DIR)
    add_custom_command(TARGET ${_name} POST_BUILD
      COMMAND "${CMAKE_COMMAND}" -E env "OSSLSIGNCODE=${VELKO_OSSLSIGNCODE}"
              "${CMAKE_SOURCE_DIR}/tests/tools/sign_test_program.sh" "${VELKO_TEST_PUBLISHER_DIR}" first
              "$<TARGET_FILE:${_name}>"
      VERBATIM)
  endif()
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
  COMMAND "${CMAKE_SOURCE_DIR}/scripts/check-product-image" "$<TARGET_FILE:VelkoTarnOnlineInstaller>"
          ${VELKO_IMPORTED_DLLS} msvcrt)

# A release configuration must refuse anything but the pinned file: the stand-in is refused by
# the pin script, and the release preset without the option stops before it generates anything.
add_test(NAME release_pin_refuses_stand_in_bootstrapper
  COMMAND "${CMAKE_COMMAND}" "-DBOOTSTRAPPER=${CMAKE_BINARY_DIR}/VelkoWebView2Standin.exe"
          "-DOUTPUT=${CMAKE_BINARY_DIR}/release-pin-check/webview2_pin.h" -DREQUIRE_PINNED=ON
          -P "${CMAKE_SOURCE_DIR}/cmake/webview2_pin.cmake")
set_tests_properties(release_pin_refuses_stand_in_bootstrapper PROPERTIES
  PASS_REGULAR_EXPRESSION "A release build must carry the pinned WebView2 Evergreen bootstrapper")
add_test(NAME release_configuration_needs_the_bootstrapper
  COMMAND "${CMAKE_COMMAND}" --preset release -B "${CMAKE_BINARY_DIR}/release-configure-check"
          -DVELKO_PUBLISHER_KEYS=none
  WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}")
set_tests_properties(release_configuration_needs_the_bootstrapper PROPERTIES
  PASS_REGULAR_EXPRESSION "A release build carries Microsoft's WebView2 Evergreen bootstrapper")
# Nor can it be configured by accident without pinned publisher keys; "none" is a warning.
add_test(NAME release_configuration_needs_the_publisher_keys
  COMMAND "${CMAKE_COMMAND}" --fresh --preset release -B "${CMAKE_BINARY_DIR}/release-keys-check"
  WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}")
set_tests_properties(release_configuration_needs_the_publisher_keys PROPERTIES
  PASS_REGULAR_EXPRESSION "A release build pins the publisher's signing key")
add_test(NAME release_configuration_warns_without_publisher_keys
  COMMAND "${CMAKE_COMMAND}" --fresh --preset release -B "${CMAKE_BINARY_DIR}/release-no-keys-check"
          -DVELKO_PUBLISHER_KEYS=none
  WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}")
set_tests_properties(release_configuration_warns_without_publisher_keys PROPERTIES
  PASS_REGULAR_EXPRESSION "VELKO_PUBLISHER_KEYS=none: this program runs any workbench installer")

# The product as the release preset builds it, in a folder of its own: no test hook's name, no
# loopback host, the maker's download host, stripped. Only the stand-in bootstrapper differs from a
# release. It compiles the product once more, so it runs alone. Needs no Wine.
set(VELKO_RELEASE_TEST_DIR "${CMAKE_BINARY_DIR}/release-build-test")
add_test(NAME release_build_has_no_test_hooks
  COMMAND "${CMAKE_SOURCE_DIR}/tests/tools/release_build_test.sh" "${CMAKE_SOURCE_DIR}" "${VELKO_RELEASE_TEST_DIR}")
set_tests_properties(release_build_has_no_test_hooks PROPERTIES
  FIXTURES_SETUP velko_release_build RUN_SERIAL TRUE TIMEOUT 1800)

# Signs a copy of that release program with a throw-away certificate: the signature verifies,
# breaks when the file is changed afterwards, and keeps the version resource; this build's own
# program, which has test hooks, is refused. Needs no Wine.
add_test(NAME authenticode_signing
  COMMAND "${CMAKE_SOURCE_DIR}/tests/tools/signing_test.sh" "${VELKO_RELEASE_TEST_DIR}/VelkoTarnOnlineInstaller.exe"
          "$<TARGET_FILE:VelkoTarnOnlineInstaller>" "${CMAKE_BINARY_DIR}/signing-test")
set_tests_properties(authenticode_signing PROPERTIES FIXTURES_REQUIRED velko_release_build)

# The signing step of the build on a small project of its own: signs when configured for it, when
# a setting or the certificate changes and after a link, never twice, and not again on the next
# build; refuses a test build. Needs no Wine.
add_test(NAME authenticode_signing_build
  COMMAND "${CMAKE_SOURCE_DIR}/tests/tools/signing_build_test.sh" "${CMAKE_SOURCE_DIR}"
          "${CMAKE_BINARY_DIR}/signing-build-test")
if(VELKO_OSSLSIGNCODE)
  set_tests_properties(authenticode_signing authenticode_signing_build PROPERTIES
    ENVIRONMENT "OSSLSIGNCODE=${VELKO_OSSLSIGNCODE}")
endif()

# The window at 150 % in a prefix of its own (LogPixels 144), which the shared prefix cannot be.
add_test(NAME window_at_144_dpi
  COMMAND "${CMAKE_SOURCE_DIR}/tests/tools/scaled_display_test.sh" "${CMAKE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}")
set_tests_properties(window_at_144_dpi PROPERTIES RESOURCE_LOCK velko_prefix TIMEOUT 900)
