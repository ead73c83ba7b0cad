# What `cmake --install build --prefix DIR` puts where, and the Debian package that
# `make package` builds from the same rules (cpack, DEB generator, prefix /usr).

install(TARGETS Trevalin trevalinctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Launcher RUNTIME DESTINATION ${TREVALIN_LAUNCHER_INSTALL_DIR})

# The desktop entry also registers the Trevalin:// URL scheme; Exec finds Trevalin on PATH.
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/org.corvane.Trevalin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/org.corvane.Trevalin.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/Trevalin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME org.corvane.Trevalin.svg)
install(FILES ${CMAKE_SOURCE_DIR}/resources/completion/trevalinctl
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
configure_file(${CMAKE_SOURCE_DIR}/resources/man/trevalinctl.1.in ${CMAKE_BINARY_DIR}/man/trevalinctl.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/man/trevalinctl.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package: build/trevalin_<version>_amd64.deb. dpkg-shlibdeps derives the library
# packages from what the programs link; the plugins Qt loads at run time (the platform
# plugins, SVG for the icons) are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trevalin)
set(CPACK_PACKAGE_VENDOR corvane)
set(CPACK_PACKAGE_CONTACT "corvane <trevalin@corvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Compute and keep the checksums of your files")
set(CPACK_PACKAGE_HOMEPAGE_URL https://corvane.org/trevalin)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The long description; CPack puts the summary line before it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Trevalin computes the checksums (MD5, SHA1, SHA256, SHA384, SHA512) of the
files you choose, keeps them in a database with each file's size and times,
follows monitored folders and finds files that rotted in place. It lives in
the system tray; trevalinctl drives the same data from a terminal.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
include(CPack)
