# Source files are found by name: a file whose name ends in "_win.cpp" calls Windows and
# is built only for Windows; everything else under src/ is pure and built for both. The SDDL
# reader serves only the tests and the fuzz targets, which make descriptors from text: it has a
# library of its own that the program never links.
file(GLOB_RECURSE _all_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/*.cpp")
set(VELKO_CORE_SOURCES "")
set(VELKO_WIN_SOURCES "")
set(VELKO_SDDL_SOURCES "${CMAKE_SOURCE_DIR}/src/common/sddl.cpp")
foreach(_file IN LISTS _all_sources)
  if(_file MATCHES "/src/app/main_win\\.cpp$" OR _file IN_LIST VELKO_SDDL_SOURCES)
    continue()
  elseif(_file MATCHES "_win\\.cpp$" OR _file MATCHES "/src/win/")
    list(APPEND VELKO_WIN_SOURCES "${_file}")
  else()
    list(APPEND VELKO_CORE_SOURCES "${_file}")
  endif()
endforeach()
