# The same Windows program built for x86-64 (Debian packages
# g++-mingw-w64-x86-64-posix and wine64).  It runs the Windows build's tests
# under Wine on a kernel that cannot run 32-bit programs, where Wine cannot
# start the i686 build:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(TROVIX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TROVIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TROVIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TROVIX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TROVIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TROVIX_WINE wine64 PATHS /usr/lib/wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TROVIX_WINE})
