# What `cmake --install build --prefix DIR` puts where.

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

