# Third-party code: pugixml from Debian's source package (wide-character
# mode), zlib from the platform, googletest for the tests.

set(PUGIXML_DIR "${RAVENLINK_DEPS_DIR}/pugixml/src")
if(NOT EXISTS "${PUGIXML_DIR}/pugixml.cpp")
  message(FATAL_ERROR "pugixml source missing in ${PUGIXML_DIR}: run scripts/setup")
endif()
add_library(ravenlink_pugixml STATIC "${PUGIXML_DIR}/pugixml.cpp")
target_include_directories(ravenlink_pugixml SYSTEM PUBLIC "${PUGIXML_DIR}")
target_compile_definitions(ravenlink_pugixml PUBLIC PUGIXML_WCHAR_MODE)

find_package(ZLIB REQUIRED)
add_library(ravenlink_zlib INTERFACE)
if(WIN32)
  # Static zlib, so the DLL imports nothing beyond the system.
  find_library(RAVENLINK_ZLIB_STATIC NAMES libz.a REQUIRED)
  target_link_libraries(ravenlink_zlib INTERFACE "${RAVENLINK_ZLIB_STATIC}")
  target_include_directories(ravenlink_zlib INTERFACE ${ZLIB_INCLUDE_DIRS})
else()
  target_link_libraries(ravenlink_zlib INTERFACE ZLIB::ZLIB)
endif()

if(RAVENLINK_TESTS)
  if(WIN32 OR RAVENLINK_SANITIZE OR RAVENLINK_TSAN)
    # Built from Debian's googletest sources with the same compiler and flags.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/_googletest" EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
