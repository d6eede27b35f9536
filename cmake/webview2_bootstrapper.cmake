# The WebView2 Evergreen bootstrapper carried inside the product as an RCDATA resource.
# VELKO_WEBVIEW2_BOOTSTRAPPER names Microsoft's file; without it the build carries the stand-in
# of tools/webview2-standin, whose size and digest are only known once it has been built.
set(VELKO_WEBVIEW2_BOOTSTRAPPER "" CACHE FILEPATH "WebView2 Evergreen bootstrapper to carry (empty: the test stand-in)")

set(_release_build OFF)
if(NOT VELKO_TEST_BUILD OR CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  set(_release_build ON)
endif()

if(VELKO_WEBVIEW2_BOOTSTRAPPER)
  set(_bootstrapper "${VELKO_WEBVIEW2_BOOTSTRAPPER}")
  set(_bootstrapper_depends "${VELKO_WEBVIEW2_BOOTSTRAPPER}")
  # Refuse early as well as at build time.
  execute_process(COMMAND "${CMAKE_COMMAND}" -DBOOTSTRAPPER=${_bootstrapper}
                          -DOUTPUT=${VELKO_GENERATED_DIR}/webview2_pin.h -DREQUIRE_PINNED=${_release_build}
                          -P "${CMAKE_SOURCE_DIR}/cmake/webview2_pin.cmake"
                  RESULT_VARIABLE _pin_result)
  if(NOT _pin_result EQUAL 0)
    message(FATAL_ERROR "VELKO_WEBVIEW2_BOOTSTRAPPER is not usable for this configuration.")
  endif()
else()
  if(_release_build)
    message(FATAL_ERROR "A release build carries Microsoft's WebView2 Evergreen bootstrapper: "
                        "set VELKO_WEBVIEW2_BOOTSTRAPPER to the pinned file.")
  endif()
  # tools/webview2-standin puts it there; a plain path, since OBJECT_DEPENDS takes no generator expressions.
  set(_bootstrapper "${CMAKE_BINARY_DIR}/VelkoWebView2Standin.exe")
  set(_bootstrapper_depends webview2_standin "${_bootstrapper}")
endif()

add_custom_command(
  OUTPUT "${VELKO_GENERATED_DIR}/webview2_pin.h"
  COMMAND "${CMAKE_COMMAND}" "-DBOOTSTRAPPER=${_bootstrapper}" "-DOUTPUT=${VELKO_GENERATED_DIR}/webview2_pin.h"
          "-DREQUIRE_PINNED=${_release_build}" -P "${CMAKE_SOURCE_DIR}/cmake/webview2_pin.cmake"
  DEPENDS ${_bootstrapper_depends} "${CMAKE_SOURCE_DIR}/cmake/webview2_pin.cmake"
          "${CMAKE_SOURCE_DIR}/cmake/webview2_pin.h.in"
  COMMENT "Pinning the carried WebView2 bootstrapper"
  VERBATIM)
add_custom_target(webview2_pin DEPENDS "${VELKO_GENERATED_DIR}/webview2_pin.h")
add_dependencies(velko_win webview2_pin)

# The resource script names the file by its build path; resource 301 is read back by
# src/install/webview2_bootstrapper_win.cpp.
file(GENERATE OUTPUT "${VELKO_GENERATED_DIR}/webview2_bootstrapper.rc"
     CONTENT "301 RCDATA \"${_bootstrapper}\"\n")
# The test programs carry it too: they run the installation sequence in their own process.
set(VELKO_CARRIED_BOOTSTRAPPER_RC "${VELKO_GENERATED_DIR}/webview2_bootstrapper.rc")
target_sources(VelkoTarnOnlineInstaller PRIVATE "${VELKO_CARRIED_BOOTSTRAPPER_RC}")
set_source_files_properties("${VELKO_GENERATED_DIR}/webview2_bootstrapper.rc" PROPERTIES
  GENERATED TRUE OBJECT_DEPENDS "${_bootstrapper}")
if(NOT VELKO_WEBVIEW2_BOOTSTRAPPER)
  add_dependencies(VelkoTarnOnlineInstaller webview2_standin)
endif()

# A release configuration must refuse anything but the pinned file: the stand-in is refused by
# the pin script, and a configuration without the option stops before it generates anything.
add_test(NAME release_pin_refuses_stand_in_bootstrapper
  COMMAND "${CMAKE_COMMAND}" "-DBOOTSTRAPPER=${CMAKE_BINARY_DIR}/VelkoWebView2Standin.exe"
          "-DOUTPUT=${CMAKE_BINARY_DIR}/release-pin-check/webview2_pin.h" -DREQUIRE_PINNED=ON
          -P "${CMAKE_SOURCE_DIR}/cmake/webview2_pin.cmake")
set_tests_properties(release_pin_refuses_stand_in_bootstrapper PROPERTIES
  PASS_REGULAR_EXPRESSION "A release build must carry the pinned WebView2 Evergreen bootstrapper")
add_test(NAME release_configuration_needs_the_bootstrapper
  COMMAND "${CMAKE_COMMAND}" -S "${CMAKE_SOURCE_DIR}" -B "${CMAKE_BINARY_DIR}/release-configure-check" -G Ninja
          "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
          -DVELKO_TEST_BUILD=OFF)
set_tests_properties(release_configuration_needs_the_bootstrapper PROPERTIES
  PASS_REGULAR_EXPRESSION "A release build carries Microsoft's WebView2 Evergreen bootstrapper")
