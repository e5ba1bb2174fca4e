# The Debian package, made in the build folder with `cpack -G DEB` after the
# targets spelkub_lite, spelkub_rader and package_docs are built:
# spelkub-lite_<version>-1_<arch>.deb with the program and spelkub_rader in
# /usr/bin, their manual pages, the copyright file and the Debian changelog,
# the icons and the desktop entry. The libraries it links are found by
# dpkg-shlibdeps (package dpkg-dev); what Qt loads at run time, and the fonts
# of the window, are listed here.
include(GNUInstallDirs)
set(SPELKUB_PACKAGE_RELEASE 1)
set(SPELKUB_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/spelkub-lite)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(docs_dir ${PROJECT_BINARY_DIR}/packaging)

# The changelog's newest entry is the package's version, and its date the date
# of everything generated from it, so that two builds of one version match.
file(STRINGS ${packaging_dir}/changelog changelog_lines)
list(GET changelog_lines 0 changelog_head)
set(package_version ${PROJECT_VERSION}-${SPELKUB_PACKAGE_RELEASE})
if(NOT changelog_head MATCHES "^spelkub-lite \\(${package_version}\\) ")
  message(FATAL_ERROR "packaging/changelog begins with \"${changelog_head}\"; "
                      "the package is version ${package_version}")
endif()
list(FILTER changelog_lines INCLUDE REGEX "^ -- ")
list(GET changelog_lines 0 changelog_trailer)
string(REGEX REPLACE "^.*>  " "" changelog_date "${changelog_trailer}")
execute_process(COMMAND date -d "${changelog_date}" +%s OUTPUT_VARIABLE changelog_epoch
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

# Manual pages: spelkub_lite's written by hand (the window reads no
# arguments), spelkub_rader's made from its --help by help2man, in a UTF-8
# locale (in its default, C, every Swedish letter would come out as "?"). Both, and the
# changelog, gzipped without a name or time stamp as Debian wants them.
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
configure_file(${packaging_dir}/spelkub_lite.1.in ${docs_dir}/spelkub_lite.1 @ONLY)
set(package_docs ${docs_dir}/changelog.Debian.gz ${docs_dir}/spelkub_lite.1.gz)
add_custom_command(
  OUTPUT ${docs_dir}/changelog.Debian.gz
  COMMAND ${GZIP} -9n -c ${packaging_dir}/changelog > ${docs_dir}/changelog.Debian.gz
  DEPENDS ${packaging_dir}/changelog
  VERBATIM)
add_custom_command(
  OUTPUT ${docs_dir}/spelkub_lite.1.gz
  COMMAND ${GZIP} -9n -c ${docs_dir}/spelkub_lite.1 > ${docs_dir}/spelkub_lite.1.gz
  DEPENDS ${docs_dir}/spelkub_lite.1
  VERBATIM)
if(HELP2MAN)
  add_custom_command(
    OUTPUT ${docs_dir}/spelkub_rader.1.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${changelog_epoch} LC_ALL=C.UTF-8
            SPELKUB_RADER=$<TARGET_FILE:spelkub_rader>
            ${HELP2MAN} --no-info --locale=C.UTF-8 --section=1
            --include=${packaging_dir}/spelkub_rader.h2m
            "--name=football pools rows as coupon text from the command line"
            --output=${docs_dir}/spelkub_rader.1 ${packaging_dir}/rader_help
    COMMAND ${GZIP} -9nf ${docs_dir}/spelkub_rader.1
    DEPENDS spelkub_rader ${packaging_dir}/rader_help ${packaging_dir}/spelkub_rader.h2m
    VERBATIM)
  list(APPEND package_docs ${docs_dir}/spelkub_rader.1.gz)
else()
  message(STATUS "help2man not found: the package is made without spelkub_rader's manual page")
endif()
add_custom_target(package_docs ALL DEPENDS ${package_docs})

install(FILES ${packaging_dir}/copyright ${docs_dir}/changelog.Debian.gz
        DESTINATION ${SPELKUB_DOC_DIR})
# Lintian's notes on this package that do not apply to it, each with the reason.
install(FILES ${packaging_dir}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME spelkub-lite)
list(FILTER package_docs INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${package_docs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Strips what Debian's own packages strip besides the symbols: the compilers'
# version notes (.comment, .note), which only make the programs larger.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program spelkub_lite spelkub_rader)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

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
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SPELKUB_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Spelkub <support@spelkub.se>")
# Utilities, not games: both programs stay in /usr/bin, on every PATH
# (/usr/games is not on root's or a cron job's), and Debian keeps the games
# section for packages with programs in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.spelkub.se")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wine, fonts-dejavu-core, fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)

# The package as Debian's checker sees it: built from this folder's programs
# into a folder of its own, no lintian error or warning, every hardening
# feature, and the documents in place.
if(SPELKUB_TESTS)
  add_test(NAME debian_package COMMAND ${packaging_dir}/check_package ${PROJECT_BINARY_DIR})
  set_tests_properties(debian_package PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
