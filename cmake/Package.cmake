# The Debian package "axtune" (cpack -G DEB in the build directory, or scripts/package.sh): the
# three programs in /usr/bin, the demo plant in /usr/share/axtune, the desktop entry and icon, the
# manual pages and the bash completion, the user guide with its screenshots and the other user
# documents, the README, the license and the changelog. Dependencies come from dpkg-shlibdeps.
if(AXTUNE_FUZZ OR AXTUNE_SANITIZE)
  return()
endif()

include(GNUInstallDirs)
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_gen ${CMAKE_BINARY_DIR}/packaging)

foreach(program axtune axtune-cli valdor-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/sim/configs/demo.json DESTINATION ${CMAKE_INSTALL_DATADIR}/axtune)
install(FILES ${_pkg}/axtune.desktop ${_pkg}/axtune-demo-plant.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/axtune.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Documentation: README, the license in Debian's form, and the changelog, compressed as Debian
# wants it (gzip -9n: no name or time stamp in the archive).
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/axtune)
configure_file(${_pkg}/changelog ${_gen}/changelog @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(OUTPUT ${_gen}/changelog.gz
                   COMMAND ${GZIP_PROGRAM} -9nf -k ${_gen}/changelog
                   DEPENDS ${_gen}/changelog
                   VERBATIM)
set(_generated ${_gen}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${_pkg}/copyright ${_gen}/changelog.gz
        DESTINATION ${_doc})

# The user guide (also what the window's ? > User guide shows, from this directory), the screenshots
# it shows, and the documents the manual pages point to. Documents that another part of the tree
# has not written yet are left out rather than failing the package.
foreach(doc guide.md routes.md valdor-sim.md cli.md hydraulics.md oxa-tcp.md trend.md)
  if(EXISTS ${PROJECT_SOURCE_DIR}/docs/${doc})
    install(FILES ${PROJECT_SOURCE_DIR}/docs/${doc} DESTINATION ${_doc})
  endif()
endforeach()
file(GLOB _screenshots ${PROJECT_SOURCE_DIR}/docs/screenshots/page*-768.png)
install(FILES ${_screenshots} DESTINATION ${_doc}/screenshots)

# Manual pages, written by hand in packaging/man, compressed as Debian wants them.
foreach(program axtune axtune-cli valdor-sim)
  add_custom_command(OUTPUT ${_gen}/${program}.1.gz
                     COMMAND ${GZIP_PROGRAM} -9n -c ${_pkg}/man/${program}.1 > ${_gen}/${program}.1.gz
                     DEPENDS ${_pkg}/man/${program}.1
                     COMMENT "Manual page of ${program}"
                     VERBATIM)
  list(APPEND _generated ${_gen}/${program}.1.gz)
  install(FILES ${_gen}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# Bash completion: one file for both tools, found by bash-completion under each command's name.
foreach(program axtune-cli valdor-sim)
  install(FILES ${_pkg}/completions/axtune-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME ${program})
endforeach()
add_custom_target(package_files ALL DEPENDS ${_generated})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME axtune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Axtune developers")
set(CPACK_PACKAGE_CONTACT "Axtune developers <axtune@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "commissioning and tuning of hydraulic positioning axes")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Axtune commissions and tunes positioning axes, hydraulic ones first of\n"
    "all, that a PLC program moves through the Valdor motion library. It finds\n"
    "the controller's axis servers, reads and writes the axis parameters, shows\n"
    "live values and the controller's message log, moves the axes and opens\n"
    "parameter files offline. Every write and command is kept in a\n"
    "commissioning journal. The package also holds axtune-cli, the same\n"
    "functions from the command line, and valdor-sim, an emulated controller\n"
    "with a demo plant.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
