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

// What AddWinInitRename did.
enum class WinInitAdd {
    Added,          // output holds the file with the lines added
    AlreadyListed,  // the section moves source onto target already; nothing to write
    NoRoom,         // the result would not fit capacity
};

// Copies file to output with "NULL=<target>" and "<target>=<source>" added at
// the end of the "[rename]" section: after the section's last line and in
// front of the next line that begins with "[". The section starts at the
// first header line "[rename]", in any case and after optional blanks; a file
// without one gets "[rename]" and the two lines at its end. The second
// line ends with a line end only when more of the file follows it. *outputSize
// is 0 unless the lines were added.
//
// A section that holds the line "<target>=<source>" already (blanks around
// the names and the case of their letters aside) gets nothing: at the start
// the first pair moves the source in, and a second would move the file away
// again and then find no source to move. A request for the same target from
// another source is added after the first: the lines run in order, so the
// later one, the newer choice, ends in place.
WinInitAdd AddWinInitRename(const char* file, size_t fileSize, const char* target,
                            const char* source, char* output, size_t capacity, size_t* outputSize);
