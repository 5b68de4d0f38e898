# The Debian package: cpack -G DEB in the build folder makes
# trovix_<version>_<arch>.deb from the install rules.

set(CPACK_PACKAGE_NAME trovix)
set(CPACK_PACKAGE_VENDOR "Trovix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "list the files in a directory tree whose names match a pattern")
# One line of the package description per line here.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Trovix walks a directory tree and lists every entry whose name matches a"
  "Windows-style wildcard pattern, with its size and the local date and time"
  "of its last write, in fixed 75-column lines under each directory's path."
  "It can list only the files whose contents hold a text, case-sensitive or"
  "not, and page its output on a terminal.")
set(TROVIX_PACKAGE_MAINTAINER "Trovix developers <trovix@invalid>" CACHE STRING
  "Maintainer field of the Debian package: a name and an e-mail address")
set(CPACK_PACKAGE_CONTACT "${TROVIX_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps (from dpkg-dev) works out the library dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian ships manual pages compressed; cmake --install keeps them plain.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CompressManPages.cmake)

include(CPack)
