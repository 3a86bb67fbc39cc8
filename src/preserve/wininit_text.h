// The "[rename]" section of WinInit.ini, edited as bytes. Windows-free.
//
// Lines end at a line feed. Every byte of the old file is kept, in order, with
// its own line ends, and lines of any length are taken whole; only the two
// request lines (and, when needed, the section header and a line end for an
// unterminated last line) are added, with "\r\n" line ends as a text-mode
// write on Windows produces.
#pragma once

#include <cstddef>

// Room for a file of fileSize bytes with the request lines added (spareLength
// 0: no spare line).
size_t WinInitRenameCapacity(size_t fileSize, size_t targetLength, size_t sourceLength,
                             size_t spareLength = 0);

// What AddWinInitRename did.
enum class WinInitAdd {
    Added,          // output holds the file with the lines added
    AlreadyListed,  // the section moves source onto target already; nothing to write
    NoRoom,         // the result would not fit capacity
};

// Copies file to output with "NUL=<target>" and "<target>=<source>" added at
// the end of the "[rename]" section: after the section's last line and in
// front of the next line that begins with "[". The section starts at the
// first header line "[rename]", in any case and after optional blanks; a file
// without one gets "[rename]" and the lines at its end. The last line ends
// with a line end only when more of the file follows it. *outputSize is 0
// unless the lines were added.
//
// With a spare (a second copy of source), a third line "<source>=<spare>"
// follows: once the start-up processing has deleted the target and moved
// source onto it, it moves the spare to source's name. Should the machine
// lose power before the processing has put WinInit.ini away, it carries the
// lines out again at the next start: the delete then takes away the file
// moved in, and source, there again, takes its place once more.
//
// A section that holds the line "<target>=<source>" already (blanks around
// the names and the case of their letters aside) gets nothing. A request for
// the same target from another source is added after the first: the lines run
// in order, so the later one, the newer choice, ends in place.
WinInitAdd AddWinInitRename(const char* file, size_t fileSize, const char* target,
                            const char* source, const char* spare, char* output, size_t capacity,
                            size_t* outputSize);

// Whether a line of the "[rename]" section moves path (its text after '=',
// blanks around it and the case of its letters aside) somewhere.
bool WinInitNamesSource(const char* file, size_t fileSize, const char* path);

// The source of the section's last line "<target>=<source>": the copy that
// ends at target when the section is carried out (without the blanks around
// it). False when no line moves anything onto target.
bool LastWinInitMoveOnto(const char* file, size_t fileSize, const char* target, const char** source,
                         size_t* sourceLength);
