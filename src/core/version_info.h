// The library's version: the log's header and run lines and the version
// resource both take it from here. Plain macros, so that the resource compiler
// can read this file too.
#pragma once

#define ZK_VERSION_MAJOR 11
#define ZK_VERSION_MINOR 70
#define ZK_VERSION_BUILD 1196
#define ZK_VERSION_REVISION 0
#define ZK_VERSION_TEXT "11.70.1196.0"

// The two texts that name the build's processor: the log header's tool name
// (and the version resource's description), and the registry view the codec
// error line names. Every other text is the same in both builds.
#if defined(_WIN64)
#define ZK_BUILD_BITS_TEXT "64bit"
#define ZK_BUILD_VIEW_TEXT "x64"
#define ZK_FILE_DESCRIPTION "Audio/Video Coinstaller for 64bit"
#else
#define ZK_BUILD_BITS_TEXT "32bit"
#define ZK_BUILD_VIEW_TEXT "x32"
#define ZK_FILE_DESCRIPTION "Audio/Video Coinstaller for 32bit"
#endif
