// An INI (profile) file read the way the Windows profile functions read it,
// so that the checker sees the same section text and values as the
// co-installer. Windows-free.
//
// What is followed is Wine's profile reader (the platform the project's tests
// run on; tests/win/inicheck compares this reader with it byte for byte):
// - a line ends at any run of carriage returns and line feeds; white space
//   (and ^Z) is dropped at both ends of every line, and blank lines are
//   dropped;
// - "[" starts a section header only when the line holds a "]"; the name is
//   the text up to the last "]", without blanks at its ends. A "[" line
//   without "]" is an ordinary line;
// - in a line with "=", blanks before the "=" and after it are dropped, and
//   the section read gives the line back as "name=value"; a line without "="
//   comes back whole;
// - lines whose name starts with ";" (comments) are left out of a section
//   read; of two lines in a row with an empty name ("=value"), the second is
//   dropped;
// - names and values are C strings to the reader: a NUL byte ends them where
//   it stands, so a line that begins with one has an empty name (a line
//   without "=" is then left out, as a blank one);
// - the lines above the first header form a section of their own, the one an
//   empty section name reads; a "[]" header names a section that no read
//   reaches, since that one is found first;
// - a section read larger than its buffer keeps what fits and ends in two
//   NULs, so its last line is cut wherever the buffer ended;
// - section and key names are compared without regard to case, and only the
//   first section of a name is ever read;
// - a file that begins with the UTF-16LE byte-order mark is UTF-16 text,
//   handed to the ANSI functions converted to the ANSI code page (ansi_text.h);
//   any other file is ANSI text, whose bytes pass unchanged.
// Windows documents the same for everything the co-installer relies on; that
// Windows also leaves comment lines out of a section read is assumed.
// Where Windows and Wine are known to part ways, the reader follows Windows:
// Windows takes a UTF-8 byte-order mark for three ANSI characters of the first
// line and does not read UTF-16 big-endian text, where Wine skips the one and
// decodes the other.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ansi_text.h"

namespace zk::inicheck {

struct ProfileEntry {
    std::string name;
    std::string value;
    bool hasValue;  // the line held "="
    int line;       // 1-based line of the file
};

struct ProfileSection {
    std::string name;
    int line;  // line of its header
    std::vector<ProfileEntry> entries;
};

struct ProfileFile {
    // The lines in front of the first header: the section of the empty name
    // (its line is 0).
    ProfileSection leading{std::string(), 0, {}};
    // The sections under headers, in file order.
    std::vector<ProfileSection> sections;
    TextEncoding encoding = TextEncoding::Ansi;
    // Lines with characters that the ANSI code page lacks (UTF-16 text).
    std::vector<int> lossyLines;
    // A UTF-8 mark in front of a section header makes it an ordinary line:
    // that header as written, and its line; empty when the mark hid none.
    std::string markedHeader;
    int markedHeaderLine = 0;
};

// The file's bytes as the profile functions read them.
ProfileFile ParseProfile(const std::string& bytes);

// Whether two section or key names are the same to the profile functions:
// without regard to case, letters of code page 1252 beyond ASCII included; a
// is taken up to its first NUL, as the reader stores it.
bool SameProfileName(const std::string& a, const char* b);

// The first section named name (without regard to case), or none; the empty
// name finds the lines in front of the first header.
const ProfileSection* FindSection(const ProfileFile& file, const char* name);

// The entries of section that a section read returns, in order.
std::vector<const ProfileEntry*> ReturnedEntries(const ProfileSection& section);

// As GetPrivateProfileSectionA(name, buffer, capacity): the returned lines as
// consecutive NUL-terminated strings and the count of characters. A section
// larger than the buffer is cut where the buffer ends and the count is then
// capacity - 2. A missing section gives 0.
size_t ReadProfileSection(const ProfileFile& file, const char* name, char* buffer, size_t capacity);

// As GetPrivateProfileStringA(section, key, "", out, capacity): the value,
// without a pair of matching quotes around it, cut to capacity - 1 characters;
// empty when the key or its "=" is missing. Returns its length.
size_t ReadProfileString(const ProfileFile& file, const char* section, const char* key, char* out,
                         size_t capacity);

}  // namespace zk::inicheck
