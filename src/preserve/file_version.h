// File versions as the version resource's fixed information states them, and
// their order. Windows-free: the reading of a file's version lives with the
// search for shared copies.
#pragma once

#include <cstdint>

// Four unsigned 16-bit numbers, most significant first. 0.0.0.0 stands for no
// version at all (file missing, no version resource, resource unreadable).
struct FileVersion {
    uint16_t major;
    uint16_t minor;
    uint16_t build;
    uint16_t revision;
};

// The file version of VS_FIXEDFILEINFO: dwFileVersionMS holds major (high word)
// and minor, dwFileVersionLS build (high word) and revision.
FileVersion FileVersionFromFixedInfo(uint32_t fileVersionMS, uint32_t fileVersionLS);

// True when a is strictly greater than b, major first; equal is not newer.
bool IsNewerVersion(const FileVersion& a, const FileVersion& b);

// True for 0.0.0.0.
bool IsNoVersion(const FileVersion& version);
