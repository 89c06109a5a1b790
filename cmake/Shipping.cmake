# What the install step ships, and how: install components, binaries stripped with their debug
# information kept in a file beside them, and the Windows version resource.
#
# Components:
#   plugin                  the plug-in library and its debug file
#   doc                     the README
#   player                  tavorin-play (Linux) or tavorin-play.exe with its DLLs and their
#                           licences (Windows), and PLAYING.txt
#   engine-logging-standin  the stand-in of the engine's logging library; the engine ships the
#                           real one, so it installs only when asked for by name
#                           (cmake --install BUILD --component engine-logging-standin)

include(GNUInstallDirs)

# The plug-in's folder: Windows looks for a DLL's neighbours in the DLL's own folder, Linux
# finds the logging library through the plug-in's $ORIGIN run path.
if(WIN32)
  set(TAVORIN_INSTALL_PLUGIN_DIR ${CMAKE_INSTALL_BINDIR})
else()
  set(TAVORIN_INSTALL_PLUGIN_DIR ${CMAKE_INSTALL_LIBDIR})
endif()

if(NOT CMAKE_OBJCOPY)
  message(FATAL_ERROR "objcopy not found: it splits the debug information off the shipped binaries")
endif()

# tavorin_install_stripped(target DESTINATION dir COMPONENT component)
# Installs the target, then moves its debug information into <file>.debug beside it
# (objcopy --only-keep-debug), strips the installed file and links it to that debug file
# (.gnu_debuglink), so a crash address in the shipped file resolves with
# addr2line -f -C -e <file>.debug <address>. The build tree keeps its unstripped binary.
function(tavorin_install_stripped target)
  cmake_parse_arguments(S "" "DESTINATION;COMPONENT" "" ${ARGN})
  install(TARGETS ${target}
          LIBRARY DESTINATION ${S_DESTINATION} COMPONENT ${S_COMPONENT}
          RUNTIME DESTINATION ${S_DESTINATION} COMPONENT ${S_COMPONENT})
  if(WIN32)
    # A DLL keeps its exports in its export table, not in the symbol table.
    set(strip_option --strip-all)
  else()
    # Keeps what the dynamic loader needs.
    set(strip_option --strip-unneeded)
  endif()
  install(CODE "
    set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${S_DESTINATION}\")
    set(name \"$<TARGET_FILE_NAME:${target}>\")
    message(STATUS \"Splitting debug information: \${dir}/\${name}.debug\")
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --only-keep-debug \${name} \${name}.debug
                    WORKING_DIRECTORY \${dir} RESULT_VARIABLE failed)
    if(NOT failed)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" ${strip_option} --add-gnu-debuglink=\${name}.debug \${name}
                      WORKING_DIRECTORY \${dir} RESULT_VARIABLE failed)
    endif()
    if(failed)
      message(FATAL_ERROR \"objcopy could not split the debug information of \${dir}/\${name}\")
    endif()
  " COMPONENT ${S_COMPONENT})
endfunction()

# tavorin_add_version_resource(target DESCRIPTION text): a VERSIONINFO resource from the
# project's version (file and product version, product and file description, original file
# name), compiled by windres into the Windows binary.
function(tavorin_add_version_resource target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(V "" "DESCRIPTION" "" ${ARGN})
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(VERSION_${part} "${PROJECT_VERSION_${part}}")
    if(VERSION_${part} STREQUAL "")
      set(VERSION_${part} 0)
    endif()
  endforeach()
  set(VERSION_NUMBERS "${VERSION_MAJOR},${VERSION_MINOR},${VERSION_PATCH},${VERSION_TWEAK}")
  set(VERSION_TEXT "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.${VERSION_TWEAK}")
  set(PRODUCT_VERSION_TEXT "${PROJECT_VERSION}")
  set(FILE_DESCRIPTION "${V_DESCRIPTION}")
  get_target_property(prefix ${target} PREFIX)
  if(NOT prefix)
    set(prefix "")
  endif()
  set(ORIGINAL_FILE_NAME "${prefix}${target}.dll")
  set(INTERNAL_NAME "${target}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
