// Registry string values as read: a REG_SZ may be stored without its NUL (this
// co-installer stores some that way), so its text ends at its first NUL or at
// the size the registry reports, whichever comes first.
#pragma once

#include <cstddef>

// Length of the text in the size bytes at value.
size_t ValueTextLength(const char* value, size_t size);

// True when the value's text holds part (a NUL-terminated string) as a
// case-sensitive substring. An empty part is in every text.
bool ValueTextContains(const char* value, size_t size, const char* part);
