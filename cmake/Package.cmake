# A Debian package of the install layout: scripts/package.sh runs cpack -G DEB.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/platform/version.h NIMBREL_VERSION_LINE
     REGEX "kVersionNumber = \"[0-9.]+\"")
string(REGEX MATCH "[0-9.]+" NIMBREL_PACKAGE_VERSION "${NIMBREL_VERSION_LINE}")

set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VERSION ${NIMBREL_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Nimbrel developers <nimbrel@corvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "capture and decode Bluetooth controller firmware logs")
set(CPACK_PACKAGE_DESCRIPTION
    "Nimbrel captures the binary log of a Bluetooth controller's firmware\n"
    "live over a serial port or a driver, frames each record and shows it as\n"
    "a coloured line using a message definition file. HCI commands, HCI\n"
    "events and LMP PDUs can be decoded. Raw data files can be recorded and\n"
    "replayed. The package holds the desktop program nimbrel, the command\n"
    "line nimbrel-cli and a controller simulator.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY nimbrel)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The desktop entry, icons and file type are picked up by the triggers of these packages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")

include(CPack)
