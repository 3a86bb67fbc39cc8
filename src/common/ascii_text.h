// Byte-wise text helpers for values that carry their size: registry data,
// key names, hardware IDs. Only the ASCII letters fold; other bytes compare as
// they are, as the package's names are ASCII.
#pragma once

#include <cstddef>

// c lower-cased when it is an ASCII capital, else c.
char LowerAsciiChar(char c);

// Lower-cases the ASCII letters of text in place, stopping at its terminator
// or after size bytes.
void LowerAscii(char* text, size_t size);

// Length of the text in the size bytes at text: up to its first NUL, or size
// when it has none. A null text has length 0.
size_t BoundedLength(const char* text, size_t size);

// Where needle's needleLength bytes first occur in the haystackLength bytes at
// haystack, or null. An empty needle occurs at haystack.
const char* FindBytes(const char* haystack, size_t haystackLength, const char* needle,
                      size_t needleLength);
