// The web-update program's switches in zkcoinst.ini and its command line,
// without Windows.
#pragma once

#include <cstddef>

#include "launch/device_identity_core.h"

// Section names are formed in buffers of this size; INI values are read into
// buffers of kSwitchValueSize bytes, so at most four characters count.
constexpr size_t kSectionNameCapacity = 100;
constexpr size_t kSwitchValueSize = 5;

// The sections that may hold the web-update switch, in the order they are
// asked. Without the Windows version only the two unversioned ones are asked.
// A name that would not fit kSectionNameCapacity is left out, since a cut name
// would ask some other section.
struct KestrSectionSearch {
    char names[4][kSectionNameCapacity];
    int count;
};
void BuildKestrSectionSearch(const char* installSection, bool haveVersion, unsigned major,
                             unsigned minor, KestrSectionSearch* search);

// A switch value is on when it reads as the number 1 ("1", "01").
bool IsSwitchValueOn(const char* value);

// "NoFNW" is set when its value is non-empty and reads as 1.
bool IsNoFNWValueSet(const char* value);

// The web-update program's command line. The program path is quoted, so that
// a Common Files path with blanks cannot be taken for a shorter program; the
// manufacturer name is not, and reaches the program as several words.
// Arguments: Common Files folder, program name, VID, PID, BCD, class name, the
// four version numbers, manufacturer, reboot suffix.
#define ZK_KESTR_COMMAND_LINE \
    "\"%s\\marvshrd\\%s\" -v 0x%s -p 0x%s -b 0x%s -f %s -d %d.%d.%d.%d -m %s%s"

constexpr size_t kKestrCommandLineCapacity = 300;
extern const char kKestrProgramName[];  // "Kestr32.exe"

struct KestrLaunchFacts {
    const char* commonFiles;
    const char* vid;
    const char* pid;
    const char* bcd;
    const char* className;
    DriverVersion version;
    const char* manufacturer;
    bool needReboot;
};

// The command line into out; false, with nothing to launch, when it does not fit.
bool FormatKestrCommandLine(char* out, size_t capacity, const KestrLaunchFacts& facts);
