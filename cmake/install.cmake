# Install rules: the libraries, their public headers, CMake packages
# (find_package(xbase32) -> xbase32::xbase32, find_package(mixtable) ->
# mixtable::mixtable) and pkg-config files.
include(CMakePackageConfigHelpers)

set(KALVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake)

# kalvo_install_package(NAME TARGETS... HEADERS dir...): installs the
# targets and header folders and the CMake package NAME with NAME:: targets.
function(kalvo_install_package name)
  cmake_parse_arguments(P "" "" "TARGETS;HEADERS" ${ARGN})
  install(TARGETS ${P_TARGETS} EXPORT ${name}-targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(DIRECTORY ${P_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT ${name}-targets NAMESPACE ${name}::
    DESTINATION ${KALVO_CMAKE_DIR}/${name})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/${name}Config.cmake.in
    ${PROJECT_BINARY_DIR}/${name}Config.cmake
    INSTALL_DESTINATION ${KALVO_CMAKE_DIR}/${name})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/${name}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/${name}Config.cmake
                ${PROJECT_BINARY_DIR}/${name}ConfigVersion.cmake
    DESTINATION ${KALVO_CMAKE_DIR}/${name})
endfunction()

# Shared libraries carry the project's version in their file names and its
# major version in their sonames (the engine sets its own).
foreach(lib kalvo_platform mixtable kalvo_installer)
  if(TARGET ${lib})
    set_target_properties(${lib} PROPERTIES
      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  endif()
endforeach()

# The platform layer travels with the engine: every library links it.
kalvo_install_package(xbase32 TARGETS kalvo_platform xbase32
  HEADERS ${PROJECT_SOURCE_DIR}/xbase32/include/xbase32
          ${PROJECT_SOURCE_DIR}/platform/include/platform)
if(TARGET mixtable)
  kalvo_install_package(mixtable TARGETS mixtable
    HEADERS ${PROJECT_SOURCE_DIR}/mixtable/include/mixtable)
  # The table dictionary lies beside the library, where it looks for it
  # (on Windows the DLL is in the binary directory).
  if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/data/DataBase.DCT
      DESTINATION ${CMAKE_INSTALL_BINDIR})
  else()
    install(FILES ${PROJECT_SOURCE_DIR}/data/DataBase.DCT
      DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endif()

# pkg-config files find the prefix from their own directory, so that an
# installation moved elsewhere (a package, a staging prefix) still fits.
file(RELATIVE_PATH KALVO_PC_TO_PREFIX
  /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KALVO_PC_TO_PREFIX "${KALVO_PC_TO_PREFIX}")
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
if(KALVO_TESTS AND NOT KALVO_SANITIZE AND NOT WIN32)
  add_test(NAME install_consumer
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${PROJECT_BINARY_DIR}
      -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
      -P ${PROJECT_SOURCE_DIR}/cmake/consumer_test.cmake)
  set_tests_properties(install_consumer PROPERTIES TIMEOUT 300)
endif()
