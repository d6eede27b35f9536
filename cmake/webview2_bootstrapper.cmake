# The WebView2 Evergreen bootstrapper carried inside the product as an RCDATA resource.
# VELKO_WEBVIEW2_BOOTSTRAPPER names Microsoft's file; without it the build carries the stand-in
# of tools/webview2-standin, whose size and digest are only known once it has been built.
set(VELKO_WEBVIEW2_BOOTSTRAPPER "" CACHE FILEPATH "WebView2 Evergreen bootstrapper to carry (empty: the test stand-in)")
# Only for the test that builds the product without test hooks (tests/tools/release_build_test.sh):
# such a build otherwise insists on Microsoft's file, which the test machine does not have.
# Signing refuses a build that sets it (cmake/signing.cmake).
set(VELKO_ALLOW_STANDIN_BOOTSTRAPPER OFF CACHE BOOL "Test only: a build without test hooks may carry the stand-in bootstrapper")

set(_release_build OFF)
if((NOT VELKO_TEST_BUILD OR CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$") AND NOT VELKO_ALLOW_STANDIN_BOOTSTRAPPER)
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
  # A test build has it among its tools already.
  if(NOT TARGET webview2_standin)
    add_subdirectory("${CMAKE_SOURCE_DIR}/tools/webview2-standin" "${CMAKE_BINARY_DIR}/tools/webview2-standin")
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
          "${CMAKE_SOURCE_DIR}/cmake/webview2_pinned.cmake"
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

