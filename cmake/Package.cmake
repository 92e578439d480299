# The Debian package (make package): what 'cmake --install' puts under /usr, with the runtime
# dependencies that dpkg-shlibdeps reads from the programs' shared libraries. Debian's triggers
# refresh the menu and the icon cache, so the package needs no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME logwarden)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Logwarden developers")
set(CPACK_PACKAGE_CONTACT ${LOGWARDEN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/logwarden/logwarden)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "logbook for the net-control station of an amateur-radio net")
set(CPACK_PACKAGE_DESCRIPTION [[
Logwarden is the logbook that the net-control station of an amateur-radio net
keeps open while stations call in one after another. The operator types each
call sign; Logwarden offers the call signs already logged that begin with it,
fills name, address, licence class, grid square and e-mail from the station's
last check-in or from a local copy of the FCC licence database, shows the
distance between grid squares and logs the check-in with its date and time,
all from the keyboard.

The package holds the window, logwarden, and logwarden-cli, the command-line
tool for scripts and servers: it exports the log, downloads and builds the
FCC licence database and looks call signs up.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_SOURCE_DIR}/dist)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LOGWARDEN_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' packages (Qt's widgets, charts and SVG, SQLite, libcurl, ...) are read from the programs
# by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# F10 keys the transmitter through ssh.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS openssh-client)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
