# Runs a program on the arguments of ARGS_FILE (one line, blank-separated) in
# WORKDIR and compares its standard output, followed by "exit status: N", with
# the file EXPECTED. Line ends are compared as line feeds, so that a Windows
# program's output compares with the same file.
#
#   cmake -DPROGRAM=... -DARGS_FILE=... -DEXPECTED=... -DWORKDIR=... [-DEMULATOR=...]
#         -P compare_output.cmake
file(READ "${ARGS_FILE}" arguments)
string(STRIP "${arguments}" arguments)
separate_arguments(arguments UNIX_COMMAND "${arguments}")
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" ${arguments}
                WORKING_DIRECTORY "${WORKDIR}"
                OUTPUT_VARIABLE actual
                RESULT_VARIABLE status
                TIMEOUT 120)
string(REPLACE "\r\n" "\n" actual "${actual}")
string(APPEND actual "exit status: ${status}\n")
file(READ "${EXPECTED}" expected)
if(NOT actual STREQUAL expected)
  get_filename_component(name "${EXPECTED}" NAME)
  set(actual_file "${CMAKE_CURRENT_BINARY_DIR}/${name}.actual")
  file(WRITE "${actual_file}" "${actual}")
  message(FATAL_ERROR "output differs from ${EXPECTED}; it is in ${actual_file}")
endif()
