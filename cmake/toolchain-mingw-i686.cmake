# Cross build for 32-bit Windows with MinGW-w64 (posix thread model).
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
#
# The dependencies (Boost.Thread, SQLite, GoogleTest) come from scripts/windows-deps.sh; their
# prefix is TAVORIN_WINDEPS (cache variable or environment variable), by default the one the
# script uses when given no folder.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TAVORIN_MINGW_TRIPLE i686-w64-mingw32)
set(TAVORIN_WINDEPS_ARCH i686)

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# CTest (and gtest_discover_tests) run the Windows programs through the 32-bit Wine loader
# itself, with the environment scripts/wine-env.sh prepares.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
