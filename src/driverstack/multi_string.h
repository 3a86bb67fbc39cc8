// Edits of REG_MULTI_SZ lists (class filter lists) held as a run of bytes of a
// known size, as the registry reports it. None of them reads or writes past the
// sizes it is given, whatever the bytes are. Strings are compared whole and
// without regard to the case of ASCII letters. Empty strings, the closing NUL
// among them, are never copied: a rebuilt list is its strings, each with its
// NUL, and one closing NUL. A last string that runs to the end of the value
// without its NUL is taken whole and written back terminated.
#pragma once

#include <cstddef>

// True when the size bytes at text, which need no terminator, spell name.
bool EqualsIgnoringAsciiCase(const char* text, size_t size, const char* name);

// True when one of the list's strings is name.
bool MultiStringContains(const char* list, size_t listSize, const char* name);

// Room that a rebuild of a list of listSize bytes can need: the strings, a NUL
// for an unterminated last one, and the closing NUL.
size_t RemovalCapacity(size_t listSize);

// Copies the list to output without the strings equal to name. *outputSize
// gets the rebuilt size (closing NUL included), *removed the number of strings
// dropped. False, with *outputSize 0, when the rebuild would not fit capacity.
bool RemoveFromMultiString(const char* list, size_t listSize, const char* name, char* output,
                           size_t capacity, size_t* outputSize, size_t* removed);

// Room that an append of name to a list of listSize bytes can need.
size_t AppendCapacity(size_t listSize, const char* name);

// Copies the list to output and adds name as its last string unless the list
// already holds it (then *present is true and the list is still rebuilt, so
// that it comes out normalised). False, with *outputSize 0, when name is empty
// or the result would not fit capacity.
bool AppendToMultiString(const char* list, size_t listSize, const char* name, char* output,
                         size_t capacity, size_t* outputSize, bool* present);

// Puts name and its NUL before the list's bytes, which follow unchanged, unless
// the list already holds name (then *present is true and nothing is written).
// False, with *outputSize 0, when name is empty or the result would not fit.
bool PrependToMultiString(const char* list, size_t listSize, const char* name, char* output,
                          size_t capacity, size_t* outputSize, bool* present);
