// An INF file read the way SetupAPI reads it, so that the package checker sees
// the same sections, keys and fields as the device installer. Windows-free.
//
// What is followed is SetupAPI as the project's tests run it (Wine's; the
// test in tests/win/pkgcheck compares this reader with it field by field):
// - the file is ANSI, or UTF-16LE after its byte-order mark; a UTF-8
//   byte-order mark is skipped; a line ends at a line feed (a carriage return
//   is a blank), and ^Z ends the file;
// - "[name]" starts a section: the name is the text up to the first "]" as
//   it stands (blanks kept), at most 255 characters, and the rest of the line
//   is ignored; a "[" line without "]", a name that is too long, or any other
//   line in front of the first section makes the file unreadable;
// - ";" outside quotes starts a comment;
// - "\" followed by nothing but blanks, more "\" and a comment joins the next
//   line to this one (blanks on both sides of the join go); a continued line
//   that is empty or a comment ends the line;
// - a line is "key = field, field, ..." or "field, field, ...": the first
//   "=" before any "," ends the key; blanks at both ends of the key and of each
//   field go, blanks inside stay (tabs, vertical tabs, form feeds, carriage
//   returns and no-break spaces are blanks too);
// - "..." quotes text (with "" for a quote); quotes are removed, text around
//   them joins the quoted part, and a quote left open ends at the line end;
// - the key and every field are cut to 511 characters;
// - a line of one field and no "=" has that field as its key as well;
// - sections of the same name (compared without regard to case) are one
//   section, their lines in file order;
// - "%name%" in keys and fields is replaced by the first field of the line
//   "name" in [Strings] (names without regard to case, not again inside the
//   replacement); "%%" is "%"; an unknown name stays as written; a replaced
//   key or field is cut to 4097 characters;
// - [Version] must name the signature "$Windows NT$", "$Chicago$" or
//   "$Windows 95$".
// Differences that are known and kept: a number between "%" that [Strings]
// does not name is a directory id, which SetupAPI replaces with that folder of
// the machine at hand and this reader leaves as written; localized
// [Strings.<language>] sections are not read.
#pragma once

#include <string>
#include <vector>

namespace zk::pkgcheck {

struct InfLine {
    // SetupGetStringField(0) succeeds: the line has a key ("=" or one field).
    bool hasKey = false;
    std::string key;
    std::vector<std::string> fields;  // SetupGetStringField(1...)
    int line = 0;                     // 1-based line of the file where it starts; 0 unknown
};

struct InfSection {
    std::string name;
    int line = 0;  // line of its first header
    std::vector<InfLine> lines;
};

struct InfFile {
    std::vector<InfSection> sections;
};

enum class InfError {
    None,
    ExpectedSectionName,  // a line in front of the first section
    BadSectionNameLine,   // "[" without "]"
    SectionNameTooLong,
    WrongInfStyle,  // no [Version] signature of a device INF
    NulCharacter,   // a NUL byte in an ANSI file
};

struct InfReadResult {
    InfError error = InfError::None;
    int line = 0;  // where the error is, 0 for the whole file
};

constexpr size_t kMaxInfFieldLength = 511;
constexpr size_t kMaxInfSectionNameLength = 255;
constexpr size_t kMaxInfStringLength = 4097;

// Reads the bytes of an INF file into *file (emptied first).
InfReadResult ReadInf(const std::string& bytes, InfFile* file);

// What an error means, for a report.
const char* InfErrorText(InfError error);

// Names compared as SetupAPI compares section names and keys.
bool SameInfName(const std::string& a, const std::string& b);

const InfSection* FindInfSection(const InfFile& file, const std::string& name);

// The first line of section whose key is key (SetupFindFirstLine), or none.
const InfLine* FindInfLine(const InfSection& section, const std::string& key);

// SetupGetLineText: the fields joined by ",".
std::string InfLineText(const InfLine& line);

// The line as an INF would say it: "key=" and the fields, each quoted when
// it would not read back the same unquoted.
std::string InfLineSource(const InfLine& line);

}  // namespace zk::pkgcheck
