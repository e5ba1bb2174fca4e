# Debian's hardening flags, as dpkg-buildflags gives them with every hardening
# feature on: fortified string and memory functions, the stack protector,
# format checks, a read-only relocation table bound at start-up (relro,
# bindnow) and a position-independent executable. The optimisation and debug
# flags among them are left out, since the build type chooses those, and so is
# the file prefix map, which names the folder it was asked in and would keep
# ccache from sharing objects between checkouts. Without dpkg-buildflags (not
# a Debian system) the build goes on without them.
option(SPELKUB_HARDENING "Build with Debian's hardening flags from dpkg-buildflags" ON)

if(SPELKUB_HARDENING AND NOT SPELKUB_SANITIZE)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  if(DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags
        ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      list(FILTER flags EXCLUDE REGEX "^-(O.*|g.*|ffile-prefix-map=.*)$")
      set(SPELKUB_HARDENING_${kind} ${flags})
    endforeach()
    message(STATUS "Hardening flags from dpkg-buildflags: ${SPELKUB_HARDENING_CPPFLAGS} "
                   "${SPELKUB_HARDENING_CXXFLAGS} ${SPELKUB_HARDENING_LDFLAGS}")
    # _FORTIFY_SOURCE needs an optimised build; in a Debug build it only warns.
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:${SPELKUB_HARDENING_CPPFLAGS}>"
                        ${SPELKUB_HARDENING_CXXFLAGS})
    add_link_options(${SPELKUB_HARDENING_LDFLAGS})
  else()
    message(STATUS "dpkg-buildflags not found: building without Debian's hardening flags")
  endif()
endif()
