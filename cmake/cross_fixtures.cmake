# zk_cross_fixture_dll(OUTPUT path PROCESSOR i686|x86_64 SOURCES file...
#                      [DEF file] [RC file] [DEFINES NAME=VALUE...])
# A tiny test DLL without a runtime, built with the MinGW-w64 cross compiler of
# PROCESSOR whatever the build's own toolchain is (every host of the project
# has both): for tests that need an image of each machine type side by side.
# The sources define FixtureEntry (stdcall); RC is compiled with the defines too.
function(zk_cross_fixture_dll)
  cmake_parse_arguments(ARG "" "OUTPUT;PROCESSOR;RC;DEF" "SOURCES;DEFINES" ${ARGN})
  if(ARG_PROCESSOR STREQUAL "i686")
    set(entry _FixtureEntry@12)
  elseif(ARG_PROCESSOR STREQUAL "x86_64")
    set(entry FixtureEntry)
  else()
    message(FATAL_ERROR "zk_cross_fixture_dll: unknown processor ${ARG_PROCESSOR}")
  endif()
  find_program(ZK_${ARG_PROCESSOR}_FIXTURE_GCC ${ARG_PROCESSOR}-w64-mingw32-gcc-posix REQUIRED)
  find_program(ZK_${ARG_PROCESSOR}_FIXTURE_WINDRES ${ARG_PROCESSOR}-w64-mingw32-windres REQUIRED)
  set(gcc ${ZK_${ARG_PROCESSOR}_FIXTURE_GCC})
  set(windres ${ZK_${ARG_PROCESSOR}_FIXTURE_WINDRES})
  set(defines "")
  foreach(define ${ARG_DEFINES})
    list(APPEND defines -D${define})
  endforeach()
  set(inputs ${ARG_SOURCES} ${ARG_DEF})
  if(ARG_RC)
    set(resource ${ARG_OUTPUT}.res.o)
    add_custom_command(OUTPUT ${resource}
                       COMMAND ${windres} ${defines} -i ${ARG_RC} -o ${resource}
                       DEPENDS ${ARG_RC} VERBATIM)
    list(APPEND inputs ${resource})
  endif()
  add_custom_command(OUTPUT ${ARG_OUTPUT}
                     COMMAND ${gcc} -shared -nostdlib -s ${defines} -o ${ARG_OUTPUT} ${inputs}
                             -Wl,--entry,${entry}
                     DEPENDS ${inputs} VERBATIM)
endfunction()
