# The one definition of where scripts/windows-deps.sh leaves the Windows dependencies: the
# TAVORIN_WINDEPS cache variable, else the environment variable of that name, else
# ${XDG_CACHE_HOME:-$HOME/.cache}/tavorin-windeps.
#
# Included (by the toolchain files and WindowsDeps.cmake) it sets TAVORIN_WINDEPS; run as a
# script (cmake -P, as the shell scripts do) it prints the prefix.
if(NOT TAVORIN_WINDEPS)
  if(DEFINED ENV{TAVORIN_WINDEPS} AND NOT "$ENV{TAVORIN_WINDEPS}" STREQUAL "")
    set(TAVORIN_WINDEPS "$ENV{TAVORIN_WINDEPS}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(TAVORIN_WINDEPS "$ENV{XDG_CACHE_HOME}/tavorin-windeps")
  else()
    set(TAVORIN_WINDEPS "$ENV{HOME}/.cache/tavorin-windeps")
  endif()
endif()
if(CMAKE_SCRIPT_MODE_FILE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${TAVORIN_WINDEPS}")
else()
  set(TAVORIN_WINDEPS "${TAVORIN_WINDEPS}" CACHE PATH "Prefix filled by scripts/windows-deps.sh")
endif()
