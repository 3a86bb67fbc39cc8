// The INF read through the platform's own SetupAPI, into the record the
// checker judges: what the Windows build of zkpkgcheck reads, and what the
// test of the project's reader compares with.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>

#include "inf_reader.h"

namespace zk::pkgcheck {

// One field of the line at context (SetupGetStringFieldA); false when SetupAPI
// has none (field 0 of a line without a key).
bool ReadInfField(INFCONTEXT* context, DWORD index, std::string* text);

// Sections as SetupEnumInfSectionsA lists them, their lines, keys and fields
// as SetupGetStringFieldA gives them. SetupAPI tells no file line numbers:
// those come from the project's reader of the same file, line for line,
// where it agrees on the section's line count (0 elsewhere). False with
// *error set when SetupOpenInfFileA refuses the file.
bool ReadInfThroughSetupApi(const std::string& path, InfFile* file, InfReadResult* ours,
                            std::string* error);

}  // namespace zk::pkgcheck
