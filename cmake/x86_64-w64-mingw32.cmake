# The same Windows program built for x86-64 (Debian packages
# g++-mingw-w64-x86-64-posix and wine64).  It runs the Windows build's tests
# under Wine on a kernel that cannot run 32-bit programs, where Wine cannot
# start the i686 build:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TROVIX_MINGW_PREFIX x86_64-w64-mingw32)
set(TROVIX_WINE_LOADER wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
