# The project's Debian package: `cpack -G DEB` in the build directory makes
# one .deb (kalvo_VERSION-RELEASE_ARCH.deb) from the install rules, with the
# prefix /usr. Dependencies come from dpkg-shlibdeps. cmake/deb_staging.cmake
# adapts the staged files to the system layout before they are packed (no
# RPATH, the Python module in the system interpreter's package directory).

# Windows: `cpack -G ZIP` makes kalvo-VERSION-win64.zip (win32 for the i686
# build) of the install rules: bin/ (DLLs, programs, DataBase.DCT), lib/
# (import libraries, CMake and pkg-config files), include/.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME kalvo)
  set(CPACK_PACKAGE_VENDOR "Kalvo")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_STRIP_FILES ON)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

set(KALVO_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")
set(KALVO_DEB_MAINTAINER "Kalvo maintainers <maintainers@kalvo.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(KALVO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kalvo)

# copyright and the Debian changelog (compressed with gzip -9n, as Debian
# wants it) in /usr/share/doc/kalvo.
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
  ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
find_program(KALVO_GZIP gzip)
if(KALVO_GZIP)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
    COMMAND ${KALVO_GZIP} -9nf -k ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
    VERBATIM)
  add_custom_target(kalvo_changelog ALL
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
    DESTINATION ${KALVO_DOC_DIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
  DESTINATION ${KALVO_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvo)
set(CPACK_PACKAGE_VENDOR "Kalvo")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KALVO_DEB_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/deb)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KALVO_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KALVO_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The library cache is refreshed through dpkg's ldconfig trigger; the
# maintainer scripts (which CPack would fill with ldconfig calls) do nothing.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/triggers
  ${PROJECT_SOURCE_DIR}/packaging/postinst
  ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "data platform of a paint-tinting installation")
# The synopsis is the summary; these lines follow it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Keeps the tinting machine's formula data sets (directory trees of DBF
tables with NTX indexes and DBT memo files), reads and writes their tables
and installs new data sets. The package holds the storage engine XBASE32,
the tables library MIXTABLE with its table dictionary, their headers,
CMake and pkg-config files, the tools xbtool and mixtool, the installer
KalvoINSTALL with its setup program, the XBASE32 and MIXTABLE modules for
Python 3 and an installable demo data set.")
set(KALVO_DEB_PYTHON_DIR lib/python3/dist-packages)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/packaging/deb_staging.cmake)
configure_file(${PROJECT_SOURCE_DIR}/cmake/deb_staging.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/deb_staging.cmake @ONLY)
include(CPack)
