# Cross build of the 32-bit Windows program with mingw-w64 (Debian package
# g++-mingw-w64-i686-posix); its tests run under Wine:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TROVIX_MINGW_PREFIX i686-w64-mingw32)
set(TROVIX_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
