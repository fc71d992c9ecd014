# The Debian package (cpack -G DEB; scripts/build-package.sh): what `cmake --install` puts under
# /usr, with the library dependencies computed by dpkg-shlibdeps. Qt loads a few parts as plugins
# and Tesseract reads its language data at run time; dpkg-shlibdeps cannot see those, so they
# are listed by hand.
# Installing and packaging take what is built and build nothing themselves, so packaging needs
# only the namorix target, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_SKIP_PACKAGE_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME namorix)
set(CPACK_PACKAGE_VENDOR "Das Namorix-Team")
set(CPACK_PACKAGE_CONTACT "Das Namorix-Team <team@namorix.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Gibt Dateien aussagekräftige Namen aus ihrem Inhalt")
set(CPACK_PACKAGE_DESCRIPTION
    "Namorix liest Inhalt und Metadaten von Dateien (PDF, Scans, Office-Dokumente, E-Mails,
Fotos, Audio und Video) und lässt ein Sprachmodell Datum, Kategorie, Beschreibung, Absender und
Betrag bestimmen; daraus bildet es nach eigenen Regeln den neuen Dateinamen. Jeder Vorschlag
wird vor dem Umbenennen gezeigt, jede Umbenennung lässt sich rückgängig machen.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SVG icons, the SQLite driver of the history store, the OCR language data.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libqt6sql6-sqlite, tesseract-ocr-deu, tesseract-ocr-eng")
# The Wayland platform plugin, opening namorix:// links, the Secret Service for API keys, the
# bindings the Nautilus menu entry runs on.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils, gnome-keyring | kwalletmanager, python3-nautilus")
include(CPack)
