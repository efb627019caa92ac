# What `cmake --install` puts in place: the public header, the library (on
# Windows also its import library), the inventory library it loads, the
# command-line client, a CMake package (find_package(ravenlink), target
# ravenlink::ravenlink) and, on Linux, a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(RAVENLINK_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/ravenlink")

target_include_directories(ravenlink INTERFACE
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>" "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
if(NOT WIN32)
  # The installed library finds the inventory library beside itself.
  set_target_properties(ravenlink ZEBSystemUtility PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()

install(TARGETS ravenlink EXPORT ravenlinkTargets
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")
# Loaded by the library, never linked by its callers: no import library.
install(TARGETS ZEBSystemUtility
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}")
install(FILES include/ravenlink.h include/ravenlink_ole_types.h
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")

install(EXPORT ravenlinkTargets NAMESPACE ravenlink:: DESTINATION "${RAVENLINK_CMAKE_DIR}")
configure_package_config_file(cmake/install/ravenlinkConfig.cmake.in
  "${CMAKE_CURRENT_BINARY_DIR}/ravenlinkConfig.cmake" INSTALL_DESTINATION "${RAVENLINK_CMAKE_DIR}")
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/ravenlinkConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/ravenlinkConfig.cmake"
  "${CMAKE_CURRENT_BINARY_DIR}/ravenlinkConfigVersion.cmake" DESTINATION "${RAVENLINK_CMAKE_DIR}")

if(NOT WIN32)
  # Relocatable: the prefix is found from where the .pc file lies.
  file(RELATIVE_PATH RAVENLINK_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  configure_file(cmake/install/ravenlink.pc.in "${CMAKE_CURRENT_BINARY_DIR}/ravenlink.pc" @ONLY)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/ravenlink.pc"
    DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
endif()
