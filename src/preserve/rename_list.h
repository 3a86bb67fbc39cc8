// The boot-time rename list ("PendingFileRenameOperations"): NUL-terminated
// strings in pairs, source then destination, closed by an empty string. An
// empty destination deletes the source; a destination that begins with "!"
// replaces an existing file. Windows-free; works on the value's bytes as the
// registry returns them, whatever they are.
#pragma once

#include <cstddef>

// Room for a list of listSize bytes with one delete-and-move request for
// target and tempPath appended.
size_t RenameRequestCapacity(size_t listSize, size_t targetLength, size_t tempPathLength);

// What AppendRenameRequest did.
enum class RenameAppend {
    Appended,       // the request ends the list; *newSize is the list's new size
    AlreadyListed,  // the list moves tempPath onto target already; buffer untouched
    NoRoom,         // the result would not fit capacity; buffer untouched
};

// The list occupies the first listSize bytes of buffer (capacity bytes). Appends,
// in place, the request that deletes target at the next start and then moves
// tempPath onto it: "\??\target", "", "\??\tempPath", "!\??\target", and the
// closing empty string. Every complete pair of the old list is kept where it is;
// the request goes after the last of them, so that a list stored without its
// closing NUL (or with its last string unterminated) never has a string of
// another program merged with or overwritten by ours. A last destination that
// lacks its NUL gets one; a last source whose destination is missing altogether
// gets an empty one, so that it cannot pair with the first string of our
// request. Anything after the list's closing NUL is no part of the list and is
// not kept.
//
// A request whose move (tempPath onto target, paths compared without regard to
// case, prefixes optional) is in the list already is not added again: at the
// start the first one moves the copy in, and a second would then delete the
// target and fail to move a copy that is gone, leaving no file at all. The
// copy itself has been made afresh by then, so the request already listed
// moves the newest bytes. A request for the same target from another copy is
// added after the first: both copies exist, the pairs run in list order, and
// the later one, the newer choice, ends in place.
RenameAppend AppendRenameRequest(char* buffer, size_t capacity, size_t listSize, const char* target,
                                 const char* tempPath, size_t* newSize);
