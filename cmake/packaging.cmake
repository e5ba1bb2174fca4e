# The Debian package, made in the build folder with `cpack -G DEB`:
# spelkub-lite_<version>-1_<arch>.deb with the program, spelkub_rader, the
# icons and the desktop entry. The libraries it links are found by
# dpkg-shlibdeps (package dpkg-dev); what Qt loads at run time, and the fonts
# of the window, are listed here.
set(CPACK_PACKAGE_NAME spelkub-lite)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Spelkub")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "system maker for Stryktipset, Europatipset and Supertoto")
set(CPACK_PACKAGE_DESCRIPTION
    "Spelkub_lite, en mindre variant av Spelkub. Mark the signs 1, X and 2 to\n\
cover per match and the program shows the system size at once, generates\n\
every row of the full system as coupon text ready to hand in, cuts the rows\n\
down to a chosen number of rows or a chosen guarantee, and saves the list\n\
as a text file. spelkub_rader writes the same coupon text from the command\n\
line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Spelkub <support@spelkub.se>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.spelkub.se")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wine, fonts-dejavu-core, fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
