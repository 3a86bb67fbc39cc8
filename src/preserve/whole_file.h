// Small files read and written whole: WinInit.ini, which the preserve pass
// rewrites in memory and reads to see what it already asked for.
#pragma once

#include <windows.h>

#include "core/tracked_alloc.h"

// WinInit.ini is a small text file; anything larger than this is not one we
// would read or rewrite in memory.
constexpr DWORD kMaxWholeFileSize = 16 * 1024 * 1024;

// Reads the whole file at path into *content (one byte more than the file, so
// that an empty file still gets a block); false with the error in *error, and
// *opened telling whether the file could be opened at all.
bool ReadWholeFile(const char* path, TrackedBuffer* content, DWORD* size, DWORD* error,
                   bool* opened);

// Writes bytes to a new file at path and flushes it; false with the error.
bool WriteNewFile(const char* path, const void* bytes, DWORD size, DWORD* error);
