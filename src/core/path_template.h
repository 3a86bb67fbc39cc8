// Path templates on the target machine: "%<CSIDL>%" names a shell folder and
// "%L%" the maker's shared-components folder ("Marvshrd" or "Marvanto"). The
// expansion writes no log lines; callers report its failures.
#pragma once

#include <cstdint>

// Expands templateBuffer, a TrackedAlloc buffer that this call consumes. Returns
// a new tracked buffer holding the expansion; the template buffer itself,
// unchanged, when it has no token (empty or only "%"); or null, with the
// template buffer freed, when a variable cannot be resolved, the maker-folder
// probe path would not fit MAX_PATH, or memory runs out. The caller frees what
// is returned with TrackedFree and never touches templateBuffer afterwards.
char* ExpandPathTemplate(char* templateBuffer);

// Appends text to a tracked buffer (null: none yet), growing it to exactly the
// needed size; *capacity holds its allocated size and is updated. Returns the
// buffer, possibly a new one (the old one freed). Null when memory runs out;
// then buffer is untouched and still the caller's.
char* AppendToBuffer(char* buffer, uint32_t* capacity, const char* text);
