# Installation and the Debian packages, included by the top CMakeLists.txt on
# POSIX (Windows makes its zip there).
#
# Two packages: mervmodul (the module, its print viewer and log reader, the
# service) for every shop machine, mervmodul-sim (the register emulator) for
# test machines. The module sits in lib/mervmodul/: a register line runs it
# through the launcher that mervmodul-instance writes into the line's folder,
# or as the service mervmodul@LINE; either names the line's folder as the
# program folder. The mervmodul on PATH runs it only with such a folder, or
# for what writes no file (packaging/mervmodul.in). Manual pages, changelogs,
# the copyright file and the documents are made in the build folder,
# compressed as Debian wants them.
include(GNUInstallDirs)

set(MERV_PACKAGE_VERSION ${MERV_VERSION})
set(MERV_PACKAGE_MAINTAINER "MERV Modul developers <merv-modul@kelmora.cz>"
    CACHE STRING "Maintainer named in the Debian packages")
set(MERV_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
# Installing (and cpack) takes what is built and builds nothing itself:
# otherwise it would first build every test program too.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# A file of the source, compressed for the package as Debian wants it (best
# compression, no name or time stamp inside): appended to `out_var`.
function(merv_gzip source output out_var)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source}
    VERBATIM)
  list(APPEND ${out_var} ${output})
  set(${out_var} ${${out_var}} PARENT_SCOPE)
endfunction()

# The manual pages, changelog and copyright file of one package, and the
# documents of docs/ named after DOCUMENTS.
function(merv_package_documents component package)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "PAGES;DOCUMENTS")
  set(made)
  foreach(document IN LISTS arg_DOCUMENTS)
    merv_gzip(${CMAKE_SOURCE_DIR}/docs/${document} ${MERV_PACKAGE_DIR}/${package}/${document}.gz made)
    install(FILES ${MERV_PACKAGE_DIR}/${package}/${document}.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  endforeach()
  foreach(page IN LISTS arg_PAGES)
    merv_gzip(${CMAKE_SOURCE_DIR}/man/${page}.1 ${MERV_PACKAGE_DIR}/${page}.1.gz made)
    install(FILES ${MERV_PACKAGE_DIR}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
  set(PACKAGE ${package})
  set(VERSION ${MERV_PACKAGE_VERSION})
  set(MAINTAINER ${MERV_PACKAGE_MAINTAINER})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog ${MERV_PACKAGE_DIR}/${package}/changelog @ONLY)
  merv_gzip(${MERV_PACKAGE_DIR}/${package}/changelog ${MERV_PACKAGE_DIR}/${package}/changelog.gz made)
  set(MERV_PACKAGE_MAINTAINER ${MERV_PACKAGE_MAINTAINER})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${MERV_PACKAGE_DIR}/${package}/copyright @ONLY)
  install(FILES ${MERV_PACKAGE_DIR}/${package}/changelog.gz ${MERV_PACKAGE_DIR}/${package}/copyright
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  add_custom_target(merv_documents_${component} ALL DEPENDS ${made})
endfunction()

# --- mervmodul
install(TARGETS mervmodul RUNTIME DESTINATION lib/mervmodul COMPONENT module)
set(MERV_MODULE_DIR ${CMAKE_INSTALL_PREFIX}/lib/mervmodul)
configure_file(packaging/mervmodul.in ${MERV_PACKAGE_DIR}/bin/mervmodul @ONLY)
install(PROGRAMS ${MERV_PACKAGE_DIR}/bin/mervmodul DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT module)
install(PROGRAMS scripts/mervmodul-instance DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT module)
install(TARGETS kllog vyrnak mervfleet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT module)
install(FILES packaging/mervmodul@.service DESTINATION lib/systemd/system COMPONENT module)
install(FILES packaging/mervmodul.sysusers DESTINATION lib/sysusers.d RENAME mervmodul.conf COMPONENT module)
# mervd, the HTTP service of the lines: its unit, its user and an example
# configuration (the service starts once /etc/mervd.conf is there).
install(TARGETS mervd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT module)
install(FILES packaging/mervd.service DESTINATION lib/systemd/system COMPONENT module)
install(FILES packaging/mervd.sysusers DESTINATION lib/sysusers.d RENAME mervd.conf COMPONENT module)
install(FILES packaging/mervd.conf DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/mervmodul/examples COMPONENT module)
# errors.md, which `mervmodul --help` names, and usage.md; an example of the
# settings file, with every entry the programs read.
merv_package_documents(module mervmodul PAGES mervmodul mervmodul-instance kllog vyrnak mervfleet mervd
                       DOCUMENTS errors.md usage.md chains.md)
install(FILES packaging/VOR-Manager.ini DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/mervmodul/examples
        COMPONENT module)

# --- mervmodul-sim
install(TARGETS mervsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
merv_package_documents(sim mervmodul-sim PAGES mervsim)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL module sim)
set(CPACK_PACKAGE_NAME mervmodul)
set(CPACK_PACKAGE_VERSION ${MERV_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT ${MERV_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Stripped programs; their debug information goes to the -dbgsym packages
# (CPack splits it off the unstripped programs itself).
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)

set(CPACK_DEBIAN_MODULE_PACKAGE_NAME mervmodul)
# lp prints on the shop's printer; xdg-open shows the PDF on a desktop only,
# which a shop server has not.
set(CPACK_DEBIAN_MODULE_PACKAGE_RECOMMENDS "cups-client")
set(CPACK_DEBIAN_MODULE_PACKAGE_SUGGESTS "mervmodul-sim, xdg-utils")
set(CPACK_DEBIAN_MODULE_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/debian/postinst ${CMAKE_SOURCE_DIR}/packaging/debian/prerm
    ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_COMPONENT_MODULE_DESCRIPTION "communication module for electronic cash registers
MERV Modul connects a shop's back-office application with its electronic
cash registers over a serial line, TCP/IP or a dial-up modem. The
application starts the module with one command (read or write a
programming table such as the PLU list, read a report, reset, download or
print the electronic journal) and reads the outcome from error.dat.
.
This package holds the module (the command mervmodul runs it for a line
folder), the print viewer vyrnak (the journal and
receipt copies as PDF, printed with lp or opened on the desktop), the log
reader kllog, mervmodul-instance, which gives each register line a folder
of its own, the service mervmodul@LINE for the resident command-file
mode, and mervd, a local HTTP/JSON service that runs the lines' commands
for shop software that cannot start programs.")

set(CPACK_DEBIAN_SIM_PACKAGE_NAME mervmodul-sim)
set(CPACK_COMPONENT_SIM_DESCRIPTION "register emulator for testing MERV Modul
mervsim plays an electronic cash register on a pseudo-terminal or a TCP
port: it answers the module's link protocol with its programming tables,
reports and electronic journal, optionally with injected line faults, a
dial-up modem or a chip-card reader.
.
It serves the tests of a shop's installation; a shop server talking to
real registers does not need it.")
include(CPack)
