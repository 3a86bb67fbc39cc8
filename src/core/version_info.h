// The library's version: the log's header and run lines and the version
// resource both take it from here. Plain macros, so that the resource compiler
// can read this file too.
#pragma once

#define ZK_VERSION_MAJOR 11
#define ZK_VERSION_MINOR 70
#define ZK_VERSION_BUILD 1196
#define ZK_VERSION_REVISION 0
#define ZK_VERSION_TEXT "11.70.1196.0"
