# Installing lumivar on Linux (cmake --install) and its Debian package
# (cpack -G DEB in the build tree). Only the Linux build includes this file.
#
#   bin/lumivar
#   share/lumivar/pcidevs.txt          found by lumivar relative to itself
#   share/man/man1/lumivar.1
#   share/bash-completion/completions/lumivar
include(GNUInstallDirs)

install(TARGETS lumivar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/pcidevs.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/lumivar)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/lumivar.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/lumivar.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lumivar)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumivar maintainers <lumivar@invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "PCI functions and their configuration space, decoded and named")
# The long description; the summary above is its first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "lumivar lists the PCI functions of this machine (or of a saved lspci -xxx
dump) and shows each one's 256-byte configuration space decoded field by
field: identifiers and their names, class codes, command and status bits,
base address registers, timers and interrupt routing. It shows them in a
terminal dialog, or writes the text report of one function or of all. It
never writes to a device.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # lumivar_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the shared libraries lumivar links: none
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
