# What cmake --install puts where, and the Debian package that CPack makes of it
# (scripts/package). Paths follow GNUInstallDirs, so a packager's CMAKE_INSTALL_PREFIX and
# DESTDIR work as usual.
include(GNUInstallDirs)

install(TARGETS karrow-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(KARROW_MAN_PAGE)
  install(FILES ${KARROW_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(KARROW_BUILD_APP)
  install(TARGETS karrow RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES resources/karrow.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY ${KARROW_THEME_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME karrow)
set(CPACK_PACKAGE_VENDOR "Karrow maintainers")
set(CPACK_PACKAGE_CONTACT "Karrow maintainers <maintainers@karrow.example>")
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
