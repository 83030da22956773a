# Installation and the Debian package. Installs exactly what the programs
# use or their users read: the two programs, their manual pages, the desktop
# entry, the demo module, the gamepad mapping and the copyright file.
include(GNUInstallDirs)

install(TARGETS zindle zindle-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages get the version in their footer ("Zindle" in the source, so
# that `man -l man/zindle.1` reads clean), and are compressed as Debian
# expects when gzip is at hand (man reads them either way).
find_program(GZIP_PROGRAM gzip)
set(zindle_man_pages)
foreach(page zindle.1 zindle-render.1)
  file(READ ${PROJECT_SOURCE_DIR}/man/${page} zindle_page_text)
  string(REPLACE "\"Zindle\" \"User Commands\"" "\"Zindle ${PROJECT_VERSION}\" \"User Commands\""
         zindle_page_text "${zindle_page_text}")
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/man/${page} CONTENT "${zindle_page_text}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/${page})
  if(GZIP_PROGRAM)
    add_custom_command(
      OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.gz
      COMMAND ${GZIP_PROGRAM} -9 -n -c ${PROJECT_BINARY_DIR}/man/${page} > ${PROJECT_BINARY_DIR}/man/${page}.gz
      DEPENDS ${PROJECT_BINARY_DIR}/man/${page}
      COMMENT "Compressing manual page ${page}")
    list(APPEND zindle_man_pages ${PROJECT_BINARY_DIR}/man/${page}.gz)
  else()
    list(APPEND zindle_man_pages ${PROJECT_BINARY_DIR}/man/${page})
  endif()
endforeach()
add_custom_target(man_pages ALL DEPENDS ${zindle_man_pages})
install(FILES ${zindle_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/data/zindle.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/demo.mod DESTINATION ${CMAKE_INSTALL_DATADIR}/zindle)
# gptokeyb's mapping of a gamepad onto the default keys, for PortMaster.
install(FILES ${PROJECT_SOURCE_DIR}/share/zindle/zindle.gptk DESTINATION ${CMAKE_INSTALL_DATADIR}/zindle)
# The licence, where Debian keeps each package's (machine-readable) copyright.
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: zindle_<version>_<arch>.deb, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zindle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast tracker module player")
set(CPACK_PACKAGE_CONTACT "Zindle developers <zindle@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Plays ProTracker MOD files with its own engine, and XM, S3M, IT and the\n"
  "other formats libxmp reads through libxmp, at 48000 Hz through SDL, with\n"
  "a pattern view, meters and oscilloscopes in a 320x240 window, and renders\n"
  "them offline to WAV, FLAC or raw files with zindle-render.")
# The shared libraries the programs link, as dpkg-shlibdeps finds them
# (with their minimum versions); the same list by name when it is missing,
# and in a cross build, whose libraries dpkg's database doesn't know (they
# sit in the sysroot): there the architecture is the toolchain's.
set(zindle_depends_by_name "libc6, libgcc-s1, libstdc++6, libsdl1.2debian, libsdl-image1.2, libsndfile1, libxmp4")
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(CMAKE_CROSSCOMPILING)
  if(NOT ZINDLE_DEBIAN_ARCH)
    message(FATAL_ERROR "A cross build needs ZINDLE_DEBIAN_ARCH (cmake/toolchains/*.cmake set it)")
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${ZINDLE_DEBIAN_ARCH})
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${zindle_depends_by_name}")
elseif(DPKG_SHLIBDEPS_PROGRAM)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${zindle_depends_by_name}")
endif()
include(CPack)
