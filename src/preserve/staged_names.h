// The names of the copies the preserve pass keeps beside an installed file
// while it replaces it: "<installed>.new" (the copy about to take the name),
// "<installed>.old" (the installed file moved aside, where the system cannot
// replace it in one step) and "<installed>.zk<n>" (a copy staged for the next
// start, n from 1 to kMaxStagedCopies). A later pass knows them by these names
// as its own. Windows-free.
#pragma once

#include <cstddef>

constexpr int kMaxStagedCopies = 999;

// "<installed><suffix>" into out; false (out empty) when it does not fit.
bool FormAsideName(const char* installed, const char* suffix, char* out, size_t capacity);

// "<installed>.zk<n>" into out; false (out empty) when it does not fit or n is
// out of range.
bool FormStagedName(const char* installed, int n, char* out, size_t capacity);

// "<installed>.zk*", the pattern that finds the staged copies of installed.
bool FormStagedPattern(const char* installed, char* out, size_t capacity);

// Whether name (a file name without folder) is that of a staged copy of the
// file installedName: installedName (letters in any case) followed by ".zk"
// and one to three digits.
bool IsStagedNameOf(const char* installedName, const char* name);
