# The Windows player's libraries, as scripts/windows-deps.sh leaves them under
# ${TAVORIN_WINDEPS}/<arch> (after cmake/WindowsDeps.cmake has chosen the architecture):
#
#   tavorin_play_ffmpeg  FFmpeg's libavformat, libavcodec, libswscale and libavutil (DLLs)
#   PNG::PNG             libpng (DLL, zlib inside)
#
# TAVORIN_PLAY_DLLS lists the DLLs that go beside tavorin-play.exe, in the build's bin/ and in
# what ships; TAVORIN_PLAY_LICENCES their licences and FFmpeg's configure line.
set(_tavorin_player_deps "${TAVORIN_WINDEPS}/${TAVORIN_WINDEPS_ARCH}")
foreach(_file include/libavformat/avformat.h include/png.h lib/libavformat.dll.a lib/libpng16.dll.a)
  if(NOT EXISTS "${_tavorin_player_deps}/${_file}")
    message(FATAL_ERROR "The Windows player's libraries are missing: ${_tavorin_player_deps}/${_file} not found.\n"
      "Build them with: scripts/windows-deps.sh ${TAVORIN_WINDEPS}")
  endif()
endforeach()

add_library(tavorin_play_ffmpeg INTERFACE IMPORTED GLOBAL)
set_target_properties(tavorin_play_ffmpeg PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${_tavorin_player_deps}/include"
  INTERFACE_LINK_LIBRARIES
    "${_tavorin_player_deps}/lib/libavformat.dll.a;${_tavorin_player_deps}/lib/libavcodec.dll.a;${_tavorin_player_deps}/lib/libswscale.dll.a;${_tavorin_player_deps}/lib/libavutil.dll.a")

if(NOT TARGET PNG::PNG)
  add_library(PNG::PNG UNKNOWN IMPORTED GLOBAL)
  set_target_properties(PNG::PNG PROPERTIES
    IMPORTED_LOCATION "${_tavorin_player_deps}/lib/libpng16.dll.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_tavorin_player_deps}/include")
endif()

file(GLOB TAVORIN_PLAY_DLLS "${_tavorin_player_deps}/bin/avcodec-*.dll" "${_tavorin_player_deps}/bin/avformat-*.dll"
     "${_tavorin_player_deps}/bin/avutil-*.dll" "${_tavorin_player_deps}/bin/swscale-*.dll"
     "${_tavorin_player_deps}/bin/libpng16.dll")
file(GLOB TAVORIN_PLAY_LICENCES "${_tavorin_player_deps}/share/licences/*.txt")
