// The printf family the library writes with. On Windows these are the
// system's own functions (msvcrt's, through MinGW's __ms_ names): the DLL then
// carries no formatter of its own, where libstdc++ would otherwise route every
// call to MinGW's. The library's formats (%s, %d, %u, %x, %X with widths and
// %.*s) read alike in both, and -Wformat checks each call against msvcrt's.
#pragma once

#include <cstdarg>
#include <cstdio>

#ifdef _WIN32
#define ZK_PRINTF __ms_printf
#define ZK_FPRINTF __ms_fprintf
#define ZK_VFPRINTF __ms_vfprintf
// -1, or capacity without a terminator, for a text that does not fit.
#define ZK_VSNPRINTF _vsnprintf
#else
#define ZK_PRINTF printf
#define ZK_FPRINTF fprintf
#define ZK_VFPRINTF vfprintf
#define ZK_VSNPRINTF vsnprintf
#endif
