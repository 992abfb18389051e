# The Debian package (scripts/package.sh): what `cmake --install` installs, with the
# dependencies dpkg-shlibdeps finds from the programs' shared libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrun)
set(CPACK_PACKAGE_VENDOR "The Kestrun developers")
set(CPACK_PACKAGE_CONTACT "${KESTRUN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTRUN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "record and parse serial data streams")
# The first line (the synopsis) is the summary above.
set(CPACK_PACKAGE_DESCRIPTION "Kestrun opens one serial port, reads what arrives and cuts the stream into
blocks by one of four capture modes (every chunk; start to stop trigger;
start trigger and a fixed size; start trigger and a length field). It counts
user-defined data triggers inside the blocks, shows them live in a grid,
writes human-readable log files that rotate, and keeps its settings in .scs
files.
.
The package holds the window program kestrun, the command-line program
kestrun-cli, which captures and replays recordings without a window, and the
samples of a demonstration device that kestrun-cli simulates.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-email is how the report page hands a report to the mail composer.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
# tshark reads and decodes the Wireshark captures; Wireshark runs the extcap entry.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tshark")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
