# What both MinGW-w64 toolchain files share; they set TAVORIN_MINGW_TRIPLE and
# TAVORIN_WINDEPS_ARCH first.

# The "-posix" drivers by name: the plain names may be set to the win32 thread model, which
# has no std::thread / std::mutex in this GCC.
set(CMAKE_C_COMPILER ${TAVORIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVORIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVORIN_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TAVORIN_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TAVORIN_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
# Splits the debug information off the installed DLLs (cmake/Shipping.cmake).
set(CMAKE_OBJCOPY ${TAVORIN_MINGW_TRIPLE}-objcopy CACHE FILEPATH "")

include(${CMAKE_CURRENT_LIST_DIR}/WindowsDepsPrefix.cmake)
# try_compile projects read the toolchain again: hand them the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVORIN_WINDEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVORIN_MINGW_TRIPLE} "${TAVORIN_WINDEPS}/${TAVORIN_WINDEPS_ARCH}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, the plug-in included: the binaries import no libgcc, libstdc++ or
# libwinpthread DLL, only Windows' own. The one place these flags are set.
set(_tavorin_static_runtime "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_tavorin_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_tavorin_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_tavorin_static_runtime}")

# gtest_discover_tests lists a test program's cases when CTest runs, not after each build: a
# build then needs neither Wine nor its environment.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
