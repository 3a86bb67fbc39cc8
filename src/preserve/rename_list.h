// The boot-time rename list ("PendingFileRenameOperations"): NUL-terminated
// strings in pairs, source then destination, closed by an empty string. An
// empty destination deletes the source; a destination that begins with "!"
// replaces an existing file. Windows-free; works on the value's bytes as the
// registry returns them, whatever they are.
#pragma once

#include <cstddef>

// Room for a list of listSize bytes with one replacing move of tempPath onto
// target appended.
size_t RenameRequestCapacity(size_t listSize, size_t targetLength, size_t tempPathLength);

// What AppendRenameRequest did.
enum class RenameAppend {
    Appended,       // the request ends the list; *newSize is the list's new size
    AlreadyListed,  // the list moves tempPath onto target already; buffer untouched
    NoRoom,         // the result would not fit capacity; buffer untouched
};

// The list occupies the first listSize bytes of buffer (capacity bytes). Appends,
// in place, the request that moves tempPath onto target at the next start,
// replacing it: "\??\tempPath", "!\??\target", and the closing empty string.
// A replacing move alone is safe to carry out twice, as the boot-time
// processing does when the machine loses power before it has cleared the
// list: the second time the copy is gone and the move fails, leaving the file
// the first time moved in (a delete pair in front of it would delete that
// file the second time). Every complete pair of the old list is kept where it
// is; the request goes after the last of them, so that a list stored without
// its closing NUL (or with its last string unterminated) never has a string of
// another program merged with or overwritten by ours. A last destination that
// lacks its NUL gets one; a last source whose destination is missing
// altogether gets an empty one, so that it cannot pair with the first string
// of our request. Anything after the list's closing NUL is no part of the list
// and is not kept.
//
// A move of this very copy onto target (paths compared without regard to
// case, prefixes optional) that the list holds already is not added again.
// A request for the same target from another copy is added after it: the
// pairs run in list order, so the later one, the newer choice, ends in place.
RenameAppend AppendRenameRequest(char* buffer, size_t capacity, size_t listSize, const char* target,
                                 const char* tempPath, size_t* newSize);

// Whether a pair of the list (read as the boot-time reader reads it) has path
// as its source, prefix optional, letters compared without regard to case.
bool RenameListNamesSource(const char* list, size_t listSize, const char* path);

// The source of the last pair that moves a file onto target (replacing or
// not), without its "\??\" prefix: the copy that ends at target when the list
// is carried out. False when no pair moves anything onto target.
bool LastMoveOnto(const char* list, size_t listSize, const char* target, const char** source,
                  size_t* sourceLength);
