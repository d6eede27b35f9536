# Authenticode signature of the product, made by the build when the maker's certificate is given.
set(VELKO_SIGNING_PKCS12 "" CACHE FILEPATH "PKCS#12 file (.pfx) holding the code-signing certificate and key (empty: unsigned)")
set(VELKO_SIGNING_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of VELKO_SIGNING_PKCS12")
set(VELKO_SIGNING_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping service (empty: no time stamp)")
set(VELKO_SIGNING_CA_FILE "" CACHE FILEPATH "Certificates the new signature is verified against (empty: the system trust store)")

# The osslsigncode that signs and that the signing test runs; Debian 12's 2.5 and backports' 2.9 both work.
find_program(VELKO_OSSLSIGNCODE osslsigncode)

# The description the signature carries is the program's own (CMakeLists.txt), as in its version resource.
if(NOT VELKO_FILE_DESCRIPTION)
  message(FATAL_ERROR "VELKO_FILE_DESCRIPTION must be set before cmake/signing.cmake is included.")
endif()

# Signing is a step of its own after the link, not part of it: it runs when the program was linked
# again, when the certificate or password file changed, and when any signing setting changed (the
# settings are in its command, and ninja runs a step again whose command changed). So configuring
# an existing build folder for signing signs the program already there. The stamp records that
# the program on disk carries the signature of these settings; it is written after the program,
# so neither the link nor the signing runs again on the next build.
set(_sign_stamp "${CMAKE_CURRENT_BINARY_DIR}/VelkoTarnOnlineInstaller.signed")
set(_program "${CMAKE_CURRENT_BINARY_DIR}/VelkoTarnOnlineInstaller${CMAKE_EXECUTABLE_SUFFIX}")
get_filename_component(_velko_source "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(_sign_exe "${_velko_source}/scripts/sign-exe")

if(VELKO_SIGNING_PKCS12)
  # A signed program is one for users: it must not obey the test hooks (environment variables that,
  # among other things, name a program it runs elevated) nor carry the test bootstrapper.
  if(VELKO_TEST_BUILD)
    message(FATAL_ERROR "Signing refuses a test build: its program obeys the VELKO_TEST_* environment "
                        "variables. Sign the release build (cmake --preset release), which has no test hooks.")
  endif()
  if(VELKO_ALLOW_STANDIN_BOOTSTRAPPER)
    message(FATAL_ERROR "Signing refuses a build that may carry the stand-in WebView2 bootstrapper "
                        "(VELKO_ALLOW_STANDIN_BOOTSTRAPPER is for tests only).")
  endif()
  foreach(_file IN ITEMS VELKO_SIGNING_PKCS12 VELKO_SIGNING_PASSWORD_FILE VELKO_SIGNING_CA_FILE)
    if(${_file} AND (NOT EXISTS "${${_file}}" OR IS_DIRECTORY "${${_file}}"))
      message(FATAL_ERROR "${_file} names no file: ${${_file}}")
    endif()
  endforeach()
  if(NOT VELKO_OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode (scripts/deps installs it), or VELKO_OSSLSIGNCODE.")
  endif()
  set(_sign_arguments --pkcs12 "${VELKO_SIGNING_PKCS12}" --description "${VELKO_FILE_DESCRIPTION}")
  set(_sign_inputs "${VELKO_SIGNING_PKCS12}" "${_sign_exe}")
  if(VELKO_SIGNING_PASSWORD_FILE)
    list(APPEND _sign_arguments --password-file "${VELKO_SIGNING_PASSWORD_FILE}")
    list(APPEND _sign_inputs "${VELKO_SIGNING_PASSWORD_FILE}")
  endif()
  if(VELKO_SIGNING_TIMESTAMP_URL)
    list(APPEND _sign_arguments --timestamp-url "${VELKO_SIGNING_TIMESTAMP_URL}")
  endif()
  if(VELKO_SIGNING_CA_FILE)
    list(APPEND _sign_arguments --ca-file "${VELKO_SIGNING_CA_FILE}")
    list(APPEND _sign_inputs "${VELKO_SIGNING_CA_FILE}")
  endif()
  # sign-exe replaces a signature the program already carries, so signing again never stacks.
  add_custom_command(OUTPUT "${_sign_stamp}"
    COMMAND "${CMAKE_COMMAND}" -E rm -f "${_sign_stamp}"
    COMMAND "${CMAKE_COMMAND}" -E env "OSSLSIGNCODE=${VELKO_OSSLSIGNCODE}"
            "${_sign_exe}" ${_sign_arguments} "$<TARGET_FILE:VelkoTarnOnlineInstaller>"
    COMMAND "${CMAKE_COMMAND}" -E touch "${_sign_stamp}"
    DEPENDS VelkoTarnOnlineInstaller ${_sign_inputs}
    COMMENT "Signing VelkoTarnOnlineInstaller.exe"
    VERBATIM)
  add_custom_target(VelkoTarnOnlineInstaller_signature ALL DEPENDS "${_sign_stamp}")
elseif(VELKO_SIGNING_PASSWORD_FILE OR VELKO_SIGNING_TIMESTAMP_URL OR VELKO_SIGNING_CA_FILE)
  message(FATAL_ERROR "The signing options need VELKO_SIGNING_PKCS12, the maker's certificate.")
elseif(EXISTS "${_sign_stamp}")
  # Signing was switched off in a folder that signed before: the program there still carries the
  # old signature. Removing it makes the next build link it again, unsigned.
  message(STATUS "Signing switched off: VelkoTarnOnlineInstaller${CMAKE_EXECUTABLE_SUFFIX} will be linked again, unsigned")
  file(REMOVE "${_sign_stamp}" "${_program}")
endif()
