# Installation and the Debian package (`make package`): both programs in one program folder,
# /usr/lib/corvanel, with a link /usr/bin/corvanel, the desktop entry and the icon. In the
# package only, a marker file beside the programs tells the update check that the package
# manager owns them (a copy installed by hand, e.g. into ~/.local, keeps updating itself).
set(CORVANEL_PROGRAM_DIR "lib/corvanel" CACHE STRING "The program folder, under the install prefix")

install(TARGETS corvanel updater RUNTIME DESTINATION ${CORVANEL_PROGRAM_DIR})
file(RELATIVE_PATH link_target ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
  ${CMAKE_INSTALL_PREFIX}/${CORVANEL_PROGRAM_DIR}/corvanel)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install)
file(CREATE_LINK ${link_target} ${CMAKE_BINARY_DIR}/install/corvanel SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install/corvanel DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/assets/corvanel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/corvanel.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvanel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Halvetra")
set(CPACK_PACKAGE_CONTACT "Halvetra <${CORVANEL_CONTACT}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Browse and play the music on an iPod mounted as a disk")
set(CPACK_PACKAGE_DESCRIPTION
  "Corvanel reads an iPod's own music database, browses it by playlist, genre, artist and album, "
  "plays the songs straight off the iPod, copies them to the computer and ejects the iPod.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CORVANEL_WEBSITE})
# The libraries the programs link come from dpkg-shlibdeps; Qt's platform plugins are loaded
# at run time, so no linker sees them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2, dbus-user-session")
configure_file(${CMAKE_CURRENT_LIST_DIR}/PackageMarker.cmake.in ${CMAKE_BINARY_DIR}/install/PackageMarker.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/install/PackageMarker.cmake)
include(CPack)
