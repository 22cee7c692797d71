# `make package`: a Debian package of what `cmake --install` puts in place.
# The library dependencies are read from the executable by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnbeck)
set(CPACK_PACKAGE_VENDOR "The Tarnbeck developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "disk space analyser with maps, history and a safe review queue")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarnbeck walks a folder read-only, shows what fills it as lists and maps, keeps each\n scan in its own SQLite file and moves only confirmed items to the Trash.\n It also scans headless and reads and writes the ncdu JSON export format.")
set(CPACK_PACKAGE_CONTACT "The Tarnbeck developers <tarnbeck@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs Qt's platform plugins (xcb, offscreen), which sit in a
# package of their own; Qt opens items and folders through xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/tarnbeck/tarnbeck")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
