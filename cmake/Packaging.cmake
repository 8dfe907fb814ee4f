# A Debian package of what `cmake --install` puts under the prefix; the
# package test runs lintian on it.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "chronavel")
set(CPACK_PACKAGE_VENDOR "Chronavel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows the current local date and time in Ontario, from the network")
# The control file's extended description; lintian wants lines under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [[
Chronavel is a small desktop program with one window and one button. Press
Request Time and it asks an NTP server for the current time (one SNTP request
over UDP), works out the offsets from UTC in force in Ontario at that moment,
and shows the local date and time in Ontario. A step that fails is reported
in a message box, never hidden behind a time that could not be checked.

The offsets come from the system's time zone database, or from a web time
zone service in builds made with the service's key.]])
set(CPACK_PACKAGE_INSTALL_DIRECTORY "/usr")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Chronavel developers <developers@chronavel.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# Otherwise the staged folders take the packager's umask, and lintian rejects
# anything but 0755.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Runtime libraries (Qt; libcurl only in a build with an API key) found from the binary by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# tzdata: the zone database the built-in time zone service reads, at least the
# release with the 2026 rules of British Columbia and Alberta.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2, ca-certificates, tzdata (>= 2026a)")
include(CPack)
