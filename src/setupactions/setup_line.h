// The text rules of zkcoinst.ini setup actions, free of Windows: how a section's
// lines are walked, what one line asks for, which registration a file gets,
// and the command lines and registry names built from a line. The interpreter
// and the actions only carry out what these functions decide.
#pragma once

#include <cstddef>

namespace zk {

// Lines, paths and command lines live in buffers of this size (MAX_PATH).
constexpr size_t kSetupTextCapacity = 260;

// A section is read into this many characters; what does not fit is not run.
constexpr size_t kSectionReadCapacity = 500;
// A full read is read again into this many, only to tell whether its last
// line was cut.
constexpr size_t kSectionCheckCapacity = 1024;

// What one setup-action line asks for.
enum class SetupActionKind {
    RegisterFile,                // register the argument unchanged
    RegisterInWindowsDirectory,  // code 10: register "<Windows dir>\<argument>"
    RegisterInSystemDirectory,   // code 11: register "<system dir>\<argument>"
    DisableAutoPlay,             // code 99, word DisableAutoPlay...: not supported, logged only
    DisableUnsafeDialog,         // code 99, word DisableUnsafeDialog...
    DeleteRegistryValue,         // code 100
    CopyHidUsbDriver,            // code 101, word CopyHIDUSBDriver...
    CreateRegistryValue,         // code 102
    DeclineBandwidthMonitor,     // code 103, module NO_ROVudevid...
    UnknownModule,               // code 103, any other module name
    Nothing,                     // code 99 or 101 with a word that selects nothing
};

struct SetupAction {
    SetupActionKind kind;
    int code;              // the number in front of the first comma (0 without one)
    bool hasComma;         // false: the whole line is the argument
    const char* argument;  // points into the line: the text after the first comma, or the line
};

// The code in front of a line's first comma, read as atoi reads it (see
// ParseLeadingInt). A number too large for an int reads as INT_MAX or INT_MIN,
// which selects no action code.
int ReadActionCode(const char* text);

// Splits line (NUL-terminated) at its first comma and decides what it asks for.
// The keywords are case-sensitive prefixes: text after them is ignored.
SetupAction ParseSetupLine(const char* line);

// Walks the strings that GetPrivateProfileSection returned: count characters
// in buffer, each line ending in a NUL. On each call, the next line and its
// length (bounded by count, so a last line without its NUL is never read past)
// go to *line and *length, and *position moves past it; false at the end.
bool NextSectionLine(const char* buffer, size_t count, size_t* position, const char** line,
                     size_t* length);

// GetPrivateProfileSection signals a section larger than its buffer by
// returning the capacity less two, with the last line cut where the buffer
// ended. A count of exactly that may also be a section that just fits.
bool SectionReadMayBeCut(size_t count, size_t capacity);

// How much of section (count characters, as returned) holds whole lines,
// judged against a read of the same section into a larger buffer (longerCount
// characters followed by its NUL): count when
// the last line ends there too, else the offset where the last line starts.
size_t WholeSectionLines(const char* section, size_t count, const char* longer, size_t longerCount);

// The first line of the section that is not run when only its first whole
// characters run (whole as WholeSectionLines gave it): the line that follows
// them in the larger read when that read holds more, whether the short read
// cut it or ended just before it; else the cut rest of the short read. False
// when no line is left out. A line longer than the larger read is named as
// far as that read holds it.
bool FirstLineNotRun(const char* section, size_t count, size_t whole, const char* longer,
                     size_t longerCount, const char** line, size_t* length);

// How a file is registered, by case-sensitive substrings of the text from the
// path's first '.' to its end: "DLL", "dll", "ax", "AX" win over "EXE", "exe".
enum class RegistrationKind { None, InProcessServer, LocalServer };
RegistrationKind ClassifyRegistration(const char* path);

// Length of the directory part of path: the text before its last backslash,
// 0 when it has none.
size_t DirectoryPartLength(const char* path);

// Why a command line or a path was not built.
enum class BuildResult { Built, QuoteInPath, TooLong };

// ""<systemDirectory>\regsvr32.exe" /s "<path>"" into out: the program path is
// quoted as every program the co-installer starts is, so that a blank in it
// cannot make another program of its first word. A path holding a
// double quote would close the quoted path early and hand the rest to regsvr32
// as switches, so it is refused, as is a line that does not fit.
BuildResult BuildRegsvr32CommandLine(char* out, size_t capacity, const char* systemDirectory,
                                     const char* path);

// ""<path>" /REGSERVER" into out, refused as above.
BuildResult BuildServerCommandLine(char* out, size_t capacity, const char* path);

// Whether path names its file from a drive's root ("C:\...", "C:/...") or a
// server's share ("\\server\..."). Any other path, a bare file name above all,
// would be looked for relative to the current folder or along the search path.
bool IsFullyQualifiedPath(const char* path);

// "<directory>\<relative>" into out; false (out empty) when it does not fit.
bool JoinSetupPath(char* out, size_t capacity, const char* directory, const char* relative);

// Splits a registry argument at its last backslash: the key path in front goes
// to keyPath, *valueName points at the text after it (empty for the key's
// default value). False when the argument names no key (see NamesRegistryKey)
// or the key path does not fit.
bool SplitRegistryArgument(const char* argument, char* keyPath, size_t capacity,
                           const char** valueName);

// A registry line names "<key path>\<value name>"; without a backslash, or with
// nothing in front of the last one, there is no key to work on: an empty key
// path would open HKEY_LOCAL_MACHINE itself, which is never written. Such a
// line is ignored.
bool NamesRegistryKey(const char* argument);

}  // namespace zk
