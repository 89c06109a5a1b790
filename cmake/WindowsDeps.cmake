# The third-party libraries of the Windows cross builds, as scripts/windows-deps.sh leaves them
# under ${TAVORIN_WINDEPS}/<arch>:
#
#   tavorin_win_boost_headers  Boost headers (Debian's, unchanged) with the Windows settings
#   tavorin_win_boost_thread   Boost.Thread's compiled part, static
#   tavorin_win_sqlite3        SQLite, thread-safe, static
#   tavorin_win_pixman         pixman, static (the resampling of scaled channels)
#   GTest::gtest, GTest::gtest_main, GTest::gmock   through find_package(GTest)
#   benchmark::benchmark       through find_package(benchmark), for the benchmarks
#
# The Boost, SQLite and pixman targets are also reachable under the names the native build gets
# from find_package and pkg-config (Boost::headers, Boost::boost, Boost::thread,
# SQLite::SQLite3, PkgConfig::PIXMAN), so target code links the same names on every platform.

include(${CMAKE_CURRENT_LIST_DIR}/WindowsDepsPrefix.cmake)
if(NOT TAVORIN_WINDEPS_ARCH)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAVORIN_WINDEPS_ARCH x86_64)
  else()
    set(TAVORIN_WINDEPS_ARCH i686)
  endif()
endif()

set(_tavorin_windeps_dir "${TAVORIN_WINDEPS}/${TAVORIN_WINDEPS_ARCH}")
foreach(_file boost-include/boost/version.hpp lib/libboost_thread.a lib/libsqlite3.a
              include/sqlite3.h lib/libpixman-1.a include/pixman-1/pixman.h
              lib/cmake/GTest/GTestConfig.cmake)
  if(NOT EXISTS "${_tavorin_windeps_dir}/${_file}")
    message(FATAL_ERROR "Windows dependencies missing: ${_tavorin_windeps_dir}/${_file} not found.\n"
      "Build them with: scripts/windows-deps.sh ${TAVORIN_WINDEPS}")
  endif()
endforeach()

# One Windows version for Boost.Thread and everything that includes its headers: the library
# and its users must agree on the API they see. 0x0601 is Windows 7.
set(TAVORIN_WIN32_WINNT 0x0601 CACHE STRING "_WIN32_WINNT for the Windows build and its Boost")

add_library(tavorin_win_boost_headers INTERFACE IMPORTED GLOBAL)
set_target_properties(tavorin_win_boost_headers PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${_tavorin_windeps_dir}/boost-include"
  INTERFACE_COMPILE_DEFINITIONS
    "BOOST_CHRONO_HEADER_ONLY;BOOST_ALL_NO_LIB;_WIN32_WINNT=${TAVORIN_WIN32_WINNT}")

add_library(tavorin_win_boost_thread STATIC IMPORTED GLOBAL)
set_target_properties(tavorin_win_boost_thread PROPERTIES
  IMPORTED_LOCATION "${_tavorin_windeps_dir}/lib/libboost_thread.a"
  INTERFACE_COMPILE_DEFINITIONS "BOOST_THREAD_USE_LIB"
  INTERFACE_LINK_LIBRARIES tavorin_win_boost_headers)

add_library(tavorin_win_sqlite3 STATIC IMPORTED GLOBAL)
set_target_properties(tavorin_win_sqlite3 PROPERTIES
  IMPORTED_LOCATION "${_tavorin_windeps_dir}/lib/libsqlite3.a"
  INTERFACE_INCLUDE_DIRECTORIES "${_tavorin_windeps_dir}/include")

add_library(tavorin_win_pixman STATIC IMPORTED GLOBAL)
set_target_properties(tavorin_win_pixman PROPERTIES
  IMPORTED_LOCATION "${_tavorin_windeps_dir}/lib/libpixman-1.a"
  INTERFACE_INCLUDE_DIRECTORIES "${_tavorin_windeps_dir}/include/pixman-1")

if(NOT TARGET Boost::headers)
  add_library(Boost::headers ALIAS tavorin_win_boost_headers)
endif()
if(NOT TARGET Boost::boost)
  add_library(Boost::boost ALIAS tavorin_win_boost_headers)
endif()
if(NOT TARGET Boost::thread)
  add_library(Boost::thread ALIAS tavorin_win_boost_thread)
endif()
if(NOT TARGET SQLite::SQLite3)
  add_library(SQLite::SQLite3 ALIAS tavorin_win_sqlite3)
endif()
if(NOT TARGET PkgConfig::PIXMAN)
  add_library(PkgConfig::PIXMAN ALIAS tavorin_win_pixman)
endif()
set(Boost_FOUND TRUE)
set(SQLite3_FOUND TRUE)

# find_package(GTest) and find_package(benchmark) take the cross-built copies.
if(NOT GTest_DIR)
  set(GTest_DIR "${_tavorin_windeps_dir}/lib/cmake/GTest" CACHE PATH "GoogleTest for Windows" FORCE)
endif()
if(NOT benchmark_DIR)
  set(benchmark_DIR "${_tavorin_windeps_dir}/lib/cmake/benchmark" CACHE PATH "Google Benchmark for Windows" FORCE)
endif()
