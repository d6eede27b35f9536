# The keys allowed to sign the workbench installer that the program runs elevated: SHA-256 digests
# of their SubjectPublicKeyInfo (scripts/publisher-key prints a signed file's), separated by ";".
# A release names them or says "none"; a test build may say "test", which pins the keys of the
# test publisher made here (tests/tools/make_test_publisher.sh) and signs the stand-in installer.
set(VELKO_PUBLISHER_KEYS "" CACHE STRING "Keys allowed to sign the workbench installer: SHA-256 of SubjectPublicKeyInfo, \";\"-separated, or none")

set(VELKO_PUBLISHER_KEYS_TEXT "${VELKO_PUBLISHER_KEYS}")
set(VELKO_TEST_PUBLISHER_DIR "")
if(VELKO_PUBLISHER_KEYS STREQUAL "test")
  if(NOT VELKO_TEST_BUILD)
    message(FATAL_ERROR "VELKO_PUBLISHER_KEYS=test pins throw-away test keys: only a test build may.")
  endif()
  set(VELKO_TEST_PUBLISHER_DIR "${CMAKE_BINARY_DIR}/test-publisher")
  execute_process(COMMAND "${CMAKE_SOURCE_DIR}/tests/tools/make_test_publisher.sh" "${VELKO_TEST_PUBLISHER_DIR}"
                  OUTPUT_VARIABLE VELKO_PUBLISHER_KEYS_TEXT OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _publisher_result)
  if(NOT _publisher_result EQUAL 0)
    message(FATAL_ERROR "Making the test publisher's keys in ${VELKO_TEST_PUBLISHER_DIR} failed.")
  endif()
elseif(WIN32 AND NOT VELKO_TEST_BUILD)
  if(VELKO_PUBLISHER_KEYS STREQUAL "")
    message(FATAL_ERROR "A release build pins the publisher's signing key: set VELKO_PUBLISHER_KEYS to the key "
                        "digests of the workbench installer's signers (scripts/publisher-key FILE), separated by "
                        "\";\", or to none.")
  elseif(VELKO_PUBLISHER_KEYS STREQUAL "none")
    message(WARNING "VELKO_PUBLISHER_KEYS=none: this program runs any workbench installer that the download "
                    "service announces, signed or not; whoever controls that service can run code on every "
                    "machine that installs or updates.")
  endif()
endif()
