# Authenticode signature of the product, made by the build when the maker's certificate is given.
set(VELKO_SIGNING_PKCS12 "" CACHE FILEPATH "PKCS#12 file (.pfx) holding the code-signing certificate and key (empty: unsigned)")
set(VELKO_SIGNING_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of VELKO_SIGNING_PKCS12")
set(VELKO_SIGNING_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping service (empty: no time stamp)")
set(VELKO_SIGNING_CA_FILE "" CACHE FILEPATH "Certificates the new signature is verified against (empty: the system trust store)")

# The osslsigncode that signs and that the signing test runs; Debian 12's 2.5 and backports' 2.9 both work.
find_program(VELKO_OSSLSIGNCODE osslsigncode)

set(VELKO_SIGNING_DESCRIPTION "VelkoTarn工作台 在线安装程序")

if(VELKO_SIGNING_PKCS12)
  foreach(_file IN ITEMS VELKO_SIGNING_PKCS12 VELKO_SIGNING_PASSWORD_FILE VELKO_SIGNING_CA_FILE)
    if(${_file} AND (NOT EXISTS "${${_file}}" OR IS_DIRECTORY "${${_file}}"))
      message(FATAL_ERROR "${_file} names no file: ${${_file}}")
    endif()
  endforeach()
  if(NOT VELKO_OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode (scripts/deps installs it), or VELKO_OSSLSIGNCODE.")
  endif()
  set(_sign_arguments --pkcs12 "${VELKO_SIGNING_PKCS12}" --description "${VELKO_SIGNING_DESCRIPTION}")
  if(VELKO_SIGNING_PASSWORD_FILE)
    list(APPEND _sign_arguments --password-file "${VELKO_SIGNING_PASSWORD_FILE}")
  endif()
  if(VELKO_SIGNING_TIMESTAMP_URL)
    list(APPEND _sign_arguments --timestamp-url "${VELKO_SIGNING_TIMESTAMP_URL}")
  endif()
  if(VELKO_SIGNING_CA_FILE)
    list(APPEND _sign_arguments --ca-file "${VELKO_SIGNING_CA_FILE}")
  endif()
  add_custom_command(TARGET VelkoTarnOnlineInstaller POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -E env "OSSLSIGNCODE=${VELKO_OSSLSIGNCODE}"
            "${CMAKE_SOURCE_DIR}/scripts/sign-exe" ${_sign_arguments} "$<TARGET_FILE:VelkoTarnOnlineInstaller>"
    COMMENT "Signing VelkoTarnOnlineInstaller.exe"
    VERBATIM)
elseif(VELKO_SIGNING_PASSWORD_FILE OR VELKO_SIGNING_TIMESTAMP_URL OR VELKO_SIGNING_CA_FILE)
  message(FATAL_ERROR "The signing options need VELKO_SIGNING_PKCS12, the maker's certificate.")
endif()

# Signs a copy of the product with a throw-away certificate: the signature verifies, breaks when
# the file is changed afterwards, and keeps the version resource. Needs no Wine.
add_test(NAME authenticode_signing
  COMMAND "${CMAKE_SOURCE_DIR}/tests/tools/signing_test.sh" "$<TARGET_FILE:VelkoTarnOnlineInstaller>"
          "${CMAKE_BINARY_DIR}/signing-test")
if(VELKO_OSSLSIGNCODE)
  set_tests_properties(authenticode_signing PROPERTIES ENVIRONMENT "OSSLSIGNCODE=${VELKO_OSSLSIGNCODE}")
endif()
