# Cross-compiles for Windows with Debian's MinGW-w64 (posix thread model). The
# including toolchain file sets ZK_MINGW_PREFIX and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZK_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${ZK_MINGW_PREFIX}-objdump)
set(CMAKE_OBJCOPY ${ZK_MINGW_PREFIX}-objcopy)

set(CMAKE_FIND_ROOT_PATH /usr/${ZK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every Windows program the build makes runs through Wine in a private prefix,
# 32-bit or 64-bit as the program is.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
