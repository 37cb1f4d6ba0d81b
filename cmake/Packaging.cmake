# What cmake --install puts where, and the Debian package that CPack makes of it
# (scripts/package). Paths follow GNUInstallDirs, so a packager's CMAKE_INSTALL_PREFIX and
# DESTDIR work as usual.
include(GNUInstallDirs)

# Folders as Debian has them (0755), whatever the packager's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS karrow-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The materials library, one file per grade; karrow-cli finds it beside itself
# (../share/karrow/materials), so an unpacked package reads its own.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/materials/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/karrow/materials
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  FILES_MATCHING PATTERN "*.json")
if(KARROW_MAN_PAGES)
  install(FILES ${KARROW_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The package's copyright file (the licences of Karrow and of what it links and compiles in)
# and its changelog, compressed as Debian wants it.
find_program(KARROW_GZIP gzip)
set(karrow_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${karrow_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog
    ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
  COMMAND ${KARROW_GZIP} -9 -n -f ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the package's changelog"
  VERBATIM)
add_custom_target(karrow-package-changelog ALL DEPENDS ${karrow_changelog})
set(karrow_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/karrow)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${karrow_changelog}
  DESTINATION ${karrow_doc_dir})
if(KARROW_BUILD_APP)
  install(TARGETS karrow RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES resources/karrow.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY ${KARROW_THEME_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_NAME karrow)
set(CPACK_PACKAGE_VENDOR "Karrow developers")
set(CPACK_PACKAGE_CONTACT "Karrow developers <developers@karrow-project.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "spiral mandrel die flow calculator")
# Lines of the long description stay within 80 columns, as Debian's control files want them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Karrow calculates how a power-law polymer melt divides between channel flow\n"
  "and leakage over the lands along one spiral channel of a spiral mandrel\n"
  "extrusion die, with the pressure along it, and writes a text report.\n"
  "It has a Qt window (karrow) and a command line front end (karrow-cli).")
set(CPACK_PACKAGE_INSTALL_DIRECTORY karrow)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The first packaging of this upstream version: a Debian revision, as the changelog says.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the programs link; Qt's platform plugins are loaded at run
# time, so the window needs them named, and it was laid out with the VL PGothic face.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KARROW_BUILD_APP)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-vlgothic)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
