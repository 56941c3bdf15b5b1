# Installing Kelo like any desktop application, and its Debian package:
#   cmake --install build/release --prefix ~/.local
#   cpack --preset release            # build/release/kelo_<version>_<arch>.deb
# Both take what the build made: build the program first
# (cmake --build --preset release --target kelo, or ./run.sh).
#
# Only the program and data files are installed; the data lives in packaging/.
# One id names the desktop entry, the icon and the metainfo; the program looks
# for its installed desktop entry under the same id (services/desktopfiles.h).
include(GNUInstallDirs)

set(KELO_APP_ID org.example.kelo.Kelo)
set(KELO_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(KELO_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelo)

# Installing and packaging need only the program, not the tests and
# benchmarks that "all" builds as well (in the release preset they would take
# minutes).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Manual pages and the changelog go compressed, as Debian has them; -n keeps
# the file's name and time out, so that the same sources give the same bytes.
find_program(KELO_GZIP gzip REQUIRED)
set(kelo_gzipped)
foreach(pair "man/kelo.1;man/en/kelo.1.gz" "man/kelo.de.1;man/de/kelo.1.gz"
             "debian/changelog;doc/changelog.gz")
    list(GET pair 0 source)
    list(GET pair 1 output)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/packaging/${output})
    get_filename_component(folder ${output} DIRECTORY)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${KELO_GZIP} -9 -n -c ${KELO_PACKAGING}/${source} > ${output}
        DEPENDS ${KELO_PACKAGING}/${source}
        COMMENT "Compressing ${source}")
    list(APPEND kelo_gzipped ${output})
endforeach()
add_custom_target(kelo_packaging_data DEPENDS ${kelo_gzipped})
# Whoever builds the program has what installing it takes.
add_dependencies(kelo kelo_packaging_data)

install(TARGETS kelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KELO_PACKAGING}/${KELO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KELO_PACKAGING}/${KELO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kelo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${KELO_APP_ID}.svg)
foreach(size 48 128)
    install(FILES ${KELO_PACKAGING}/icons/kelo-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${KELO_APP_ID}.png)
endforeach()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/man/en/kelo.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/man/de/kelo.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/de/man1)
install(FILES ${KELO_PACKAGING}/debian/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/doc/changelog.gz
        DESTINATION ${KELO_DOCDIR})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Das Kelo-Team")
set(CPACK_PACKAGE_CONTACT "Das Kelo-Team <team@kelo.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kelo.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small plain-text editor that never loses a byte")
set(CPACK_PACKAGE_DESCRIPTION [=[
Kelo the Scriv is a small single-window editor for plain text files, with a
German user interface. It reads every file byte for byte (UTF-8 and
Windows-1252 texts, Unix and Windows line breaks) and writes it back in the
form it came in. It removes blank lines and double spaces, searches and
replaces, translates between German and English through a web page, adds
itself to the file manager's context menu and keeps recovery copies of
unsaved text.

Kelo the Scriv ist ein kleiner Editor für Textdateien in einem einzigen
Fenster, mit deutscher Oberfläche. Er liest jede Datei Byte für Byte
(UTF-8- und Windows-1252-Texte, Unix- und Windows-Zeilenumbrüche) und
schreibt sie in der Form zurück, in der sie kam. Er entfernt Leerzeilen und
doppelte Leerzeichen, sucht und ersetzt, übersetzt über eine Webseite
zwischen Deutsch und Englisch, trägt sich ins Kontextmenü des Dateimanagers
ein und hält Sicherungskopien ungespeicherter Texte.]=])
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the program links are found by dpkg-shlibdeps; the Qt
# plugins it loads at run time are not: the window system's (xcb) and the
# SVG pictures'.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
# Wayland, the desktop's tools that the context-menu entry and the file types
# use (update-desktop-database, update-mime-database, xdg-open), and the fonts
# that stand in for the classic ones.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, desktop-file-utils, shared-mime-info, xdg-utils, fonts-liberation2 | fonts-dejavu-core")
include(CPack)
