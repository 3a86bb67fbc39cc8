// Which registry values the co-installer edits as lists of strings (the class
// filter lists, the rename list). Windows-free.
#pragma once

// The string types and untyped bytes: REG_NONE (0), REG_SZ (1), REG_EXPAND_SZ
// (2), REG_BINARY (3) and REG_MULTI_SZ (7), whose bytes are taken as the list
// and which keep their type when written back. A number (REG_DWORD,
// REG_QWORD, ...) or one of the system's structured types under a list's name
// is no list: read as strings and written back it would be corrupted, so it is
// left alone.
inline bool IsListValueType(unsigned long type) {
    return type <= 3 || type == 7;
}
