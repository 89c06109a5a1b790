# Cross build for 64-bit Windows with MinGW-w64 (posix thread model).
#
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
#
# The dependencies (Boost.Thread, SQLite, GoogleTest) come from scripts/windows-deps.sh; their
# prefix is TAVORIN_WINDEPS (cache variable or environment variable), by default the one the
# script uses when given no folder.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TAVORIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(TAVORIN_WINDEPS_ARCH x86_64)

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# CTest (and gtest_discover_tests) run the Windows programs through the 64-bit Wine loader
# itself: the plain "wine" command can be the 32-bit one. scripts/wine-env.sh prepares the
# environment it runs in.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
