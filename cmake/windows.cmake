# Windows presets: the product and its Win32 layer; in a test build (windows preset) also the
# stand-ins, tools, benchmarks and the tests that run under Wine, none of them in a release.
if(VELKO_TEST_BUILD)
  set(VELKO_HARNESS_DIR "${CMAKE_BINARY_DIR}/harness")
  # What the harness hooks (scripts/harness/up.d) need to know about this build.
  file(MAKE_DIRECTORY "${VELKO_HARNESS_DIR}")
  file(WRITE "${VELKO_HARNESS_DIR}/build.env"
    "VELKO_DOWNLOAD_HOST=${VELKO_DOWNLOAD_HOST}\nVELKO_BUILD_DIR=${CMAKE_BINARY_DIR}\nVELKO_SOURCE_DIR=${CMAKE_SOURCE_DIR}\n")
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/harness/wine-run-in" "${VELKO_HARNESS_DIR}")
endif()

enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
add_link_options(-static -static-libgcc -static-libstdc++)
# Each section starts at a file offset that is a multiple of the page size, as it does in memory:
# Wine can then map an image's sections from the file, as Windows always does, instead of copying
# every one of them into memory at each start (the carried bootstrapper and, in the build's own
# programs, some 25 MiB of debug information: tens of milliseconds before the first window).
add_link_options(-Wl,--file-alignment=0x1000)
# A thread made without a stack size of its own (the main thread, the C++ runtime's, the system's
# thread pools) reserves what the image says: 1 MiB, as Windows programs have by default, not the
# toolchain's 2 MiB. Wine commits a thread's whole stack at once, so each such thread held 2 MiB.
add_link_options(-Wl,--stack,0x100000)

# Only DLLs that Windows always takes from its KnownDLLs list may be imported by the product, and
# only those the first window needs: shell32, shlwapi and oleaut32, on the list too, are loaded
# from System32 when first used (src/win/shell_library.h), every other system DLL likewise (see
# src/win/system_library.h). The toolchain links its default libraries (shell32 among them) into
# every program all the same, so the list is held by the test product_imports_only_known_dlls,
# which checks the built program against it and the C runtime (msvcrt).
set(VELKO_IMPORTED_DLLS kernel32 user32 gdi32 advapi32 ole32)

add_library(velko_win STATIC ${VELKO_WIN_SOURCES})
# uuid is no DLL: a static library of interface ids.
target_link_libraries(velko_win PUBLIC velko_core ${VELKO_IMPORTED_DLLS} uuid)

add_executable(VelkoTarnOnlineInstaller WIN32 src/app/main_win.cpp src/app/resources.rc)
target_link_libraries(VelkoTarnOnlineInstaller PRIVATE velko_win)
target_link_options(VelkoTarnOnlineInstaller PRIVATE -municode)
set_source_files_properties(src/app/resources.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/src/app/velko.manifest;${CMAKE_SOURCE_DIR}/src/app/velko.ico;${VELKO_GENERATED_DIR}/velko_version.h")
include(cmake/signing.cmake)

if(VELKO_TEST_BUILD)
  # Stand-ins for the outside programs, and tools the tests use.
  file(GLOB _tool_cmake CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tools/*/CMakeLists.txt")
  foreach(_file IN LISTS _tool_cmake)
    get_filename_component(_dir "${_file}" DIRECTORY)
    add_subdirectory("${_dir}")
  endforeach()
endif()

include(cmake/webview2_bootstrapper.cmake)

if(VELKO_TEST_BUILD)
  include(cmake/windows_tests.cmake)
  # Benchmarks: built with the Windows preset, run only by the scripts in bench/, never by CTest.
  add_subdirectory(bench)
endif()
