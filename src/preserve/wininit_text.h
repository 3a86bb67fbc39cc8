// The "[rename]" section of WinInit.ini, edited as bytes. Windows-free.
//
// Lines end at a line feed. Every byte of the old file is kept, in order, with
// its own line ends, and lines of any length are taken whole; only the two
// request lines (and, when needed, the section header and a line end for an
// unterminated last line) are added, with "\r\n" line ends as a text-mode
// write on Windows produces.
#pragma once

#include <cstddef>

// Room for a file of fileSize bytes with the request lines added.
size_t WinInitRenameCapacity(size_t fileSize, size_t targetLength, size_t sourceLength);

// Copies file to output with "NULL=<target>" and "<target>=<source>" added at
// the end of the "[rename]" section: after the section's last line and in
// front of the next line that begins with "[". The section starts at the
// first header line "[rename]", in any case and after optional blanks; a file
// without one gets "[rename]" and the two lines at its end. The second
// line ends with a line end only when more of the file follows it. False, with
// *outputSize 0, when the result would not fit capacity.
bool AddWinInitRename(const char* file, size_t fileSize, const char* target, const char* source,
                      char* output, size_t capacity, size_t* outputSize);
