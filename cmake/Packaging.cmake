# A Debian package of what `cmake --install` puts under the prefix.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "chronavel")
set(CPACK_PACKAGE_VENDOR "Chronavel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows the current local date and time in Ontario, from the network")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "/usr")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Chronavel developers <chronavel@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Runtime libraries (Qt, libcurl) found from the binary by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# tzdata: the zone database the built-in time zone service reads.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2, ca-certificates, tzdata")
include(CPack)
