# Packages, made by cpack in the build folder from the install rules:
#   Linux:    cpack -G DEB   trovix_<version>-<revision>_<arch>.deb
#   Windows:  cpack -G ZIP   trovix-<version>-win32.zip (win64 for x86-64)

set(CPACK_PACKAGE_NAME trovix)
set(CPACK_PACKAGE_VENDOR "The Trovix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "list the files in a directory tree whose names match a pattern")
# One line of the package description per line here.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Trovix walks a directory tree and lists every entry whose name matches a"
  "Windows-style wildcard pattern, with its size and the local date and time"
  "of its last write, in fixed 75-column lines under each directory's path."
  "It can list only the files whose contents hold a text, case-sensitive or"
  "not, and page its output on a terminal.")

# cpack installs the rules' one component by name: an install of everything
# would write build/install_manifest.txt, the list of what "cmake --install"
# put in place, which uninstalling reads.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/")

if(WIN32)
  # The Windows build has no package manager to ship to: a zip with the
  # program, its README and its licence.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_STRIP_FILES ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME trovix-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME trovix-${PROJECT_VERSION}-win32)
  endif()
  include(CPack)
  return()
endif()

# A packager sets the maintainer once, e.g.
#   cmake -S . -B build -DTROVIX_PACKAGE_MAINTAINER="Ann Example <ann@example.net>"
# and it goes into the Maintainer field and the Debian changelog.
set(TROVIX_PACKAGE_MAINTAINER "Trovix developers <maintainers@trovix.example.org>" CACHE STRING
  "Maintainer of the Debian package: a name and an e-mail address")
set(TROVIX_DEBIAN_REVISION 1 CACHE STRING "Debian revision of the package version")
set(TROVIX_DEBIAN_VERSION ${PROJECT_VERSION}-${TROVIX_DEBIAN_REVISION})
set(CPACK_PACKAGE_CONTACT "${TROVIX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TROVIX_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Bash reads the completion only through bash-completion; the program works
# without it, so the package suggests it rather than depends on it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
# dpkg-shlibdeps (from dpkg-dev) works out the library dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Stripping, the compressed manual page and the changelog are done in the
# staging folder (cmake/DebianFiles.cmake), as Debian's tools would.
configure_file(packaging/changelog.Debian.in changelog.Debian @ONLY)
set(CPACK_TROVIX_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian)
set(CPACK_TROVIX_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianFiles.cmake)

include(CPack)
