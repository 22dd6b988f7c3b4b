# What `cmake --install` puts in place, and the Debian package `cpack -G DEB`
# makes of it.
install(TARGETS qyrplayer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The sample book; the program looks for it at the same place relative to
# its own folder (src/app/installpaths.cpp).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/book/ DESTINATION ${CMAKE_INSTALL_DATADIR}/qyrplayer/book)
install(FILES ${PROJECT_SOURCE_DIR}/data/${QYR_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${QYR_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/${QYR_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME qyrplayer)
set(CPACK_PACKAGE_VENDOR "QYR Player")
set(CPACK_PACKAGE_CONTACT "QYR Player <qyrplayer@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Lettore accessibile di audiolibri")
# CPack puts the summary above this and indents it as the control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "QYR Player legge gli audiolibri: cartelle di pagine HTML, ognuna con
l'audio che la legge ad alta voce. È pensato per lettori non vedenti e
ipovedenti e si usa interamente dalla tastiera, con uno screen reader.
Il pacchetto contiene anche un libro di prova.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps; what it loads
# at run time cannot be seen there: the web engine's page process, the
# window system and speech plugins, and the GStreamer plugins Qt Multimedia
# plays mp3, wma and wmv through.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6webenginecore6-bin, qt6-qpa-plugins, qt6-speech-speechd-plugin, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-ugly, gstreamer1.0-libav")
# Qt's own texts in Italian (the folder chooser).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher, qt6-translations-l10n")
set(CPACK_GENERATOR DEB)
include(CPack)
