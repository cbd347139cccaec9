# Install rules: the libraries, their public headers, CMake packages
# (find_package(xbase32) -> xbase32::xbase32, find_package(mixtable) ->
# mixtable::mixtable) and pkg-config files.
include(CMakePackageConfigHelpers)

set(KALVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake)

# The platform layer travels with the engine: every library links it.
install(TARGETS kalvo_platform xbase32 EXPORT xbase32-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/xbase32/include/xbase32
                  ${PROJECT_SOURCE_DIR}/platform/include/platform
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT xbase32-targets NAMESPACE xbase32::
  DESTINATION ${KALVO_CMAKE_DIR}/xbase32)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/xbase32Config.cmake.in
  ${PROJECT_BINARY_DIR}/xbase32Config.cmake
  INSTALL_DESTINATION ${KALVO_CMAKE_DIR}/xbase32)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/xbase32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/xbase32Config.cmake
              ${PROJECT_BINARY_DIR}/xbase32ConfigVersion.cmake
  DESTINATION ${KALVO_CMAKE_DIR}/xbase32)

if(TARGET mixtable)
  install(TARGETS mixtable EXPORT mixtable-targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/mixtable/include/mixtable
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT mixtable-targets NAMESPACE mixtable::
    DESTINATION ${KALVO_CMAKE_DIR}/mixtable)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/mixtableConfig.cmake.in
    ${PROJECT_BINARY_DIR}/mixtableConfig.cmake
    INSTALL_DESTINATION ${KALVO_CMAKE_DIR}/mixtable)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/mixtableConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/mixtableConfig.cmake
                ${PROJECT_BINARY_DIR}/mixtableConfigVersion.cmake
    DESTINATION ${KALVO_CMAKE_DIR}/mixtable)
endif()

foreach(pc xbase32 mixtable)
  if(TARGET ${pc})
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in
      ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc
      DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  endif()
endforeach()

# A small outside project builds against the installed packages (not in the
# sanitizer build, whose libraries need the sanitizer runtime first).
if(KALVO_TESTS AND NOT KALVO_SANITIZE)
  add_test(NAME install_consumer
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${PROJECT_BINARY_DIR}
      -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
      -P ${PROJECT_SOURCE_DIR}/cmake/consumer_test.cmake)
  set_tests_properties(install_consumer PROPERTIES TIMEOUT 300)
endif()
