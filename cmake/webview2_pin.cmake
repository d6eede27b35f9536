# Script mode: writes the header with the carried WebView2 bootstrapper's size and SHA-256.
#   -DBOOTSTRAPPER=<file> -DOUTPUT=<header> -DREQUIRE_PINNED=<ON|OFF>
# With REQUIRE_PINNED the build stops unless the file is Microsoft's bootstrapper of the
# build this program is made for.
include("${CMAKE_CURRENT_LIST_DIR}/webview2_pinned.cmake")
set(_pinned_bytes ${VELKO_WEBVIEW2_PINNED_BYTES})
set(_pinned_sha256 "${VELKO_WEBVIEW2_PINNED_SHA256}")

if(NOT EXISTS "${BOOTSTRAPPER}" OR IS_DIRECTORY "${BOOTSTRAPPER}")
  message(FATAL_ERROR "WebView2 bootstrapper not found: ${BOOTSTRAPPER}")
endif()
file(SIZE "${BOOTSTRAPPER}" VELKO_WEBVIEW2_BYTES)
file(SHA256 "${BOOTSTRAPPER}" VELKO_WEBVIEW2_SHA256)
string(TOUPPER "${VELKO_WEBVIEW2_SHA256}" VELKO_WEBVIEW2_SHA256)
if(REQUIRE_PINNED AND (NOT VELKO_WEBVIEW2_BYTES EQUAL _pinned_bytes OR NOT VELKO_WEBVIEW2_SHA256 STREQUAL _pinned_sha256))
  message(FATAL_ERROR "A release build must carry the pinned WebView2 Evergreen bootstrapper "
                      "(${_pinned_bytes} bytes, SHA-256 ${_pinned_sha256}); ${BOOTSTRAPPER} has "
                      "${VELKO_WEBVIEW2_BYTES} bytes, SHA-256 ${VELKO_WEBVIEW2_SHA256}.")
endif()
if(VELKO_WEBVIEW2_BYTES EQUAL _pinned_bytes AND VELKO_WEBVIEW2_SHA256 STREQUAL _pinned_sha256)
  set(VELKO_WEBVIEW2_IS_PINNED true)
else()
  set(VELKO_WEBVIEW2_IS_PINNED false)
endif()
# configure_file leaves an unchanged header alone, so nothing is rebuilt without need.
configure_file("${CMAKE_CURRENT_LIST_DIR}/webview2_pin.h.in" "${OUTPUT}" @ONLY)
