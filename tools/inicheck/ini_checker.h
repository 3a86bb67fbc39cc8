// What the parts of the zkcoinst.ini check share: the file, the version and
// directories it predicts for, and the report. Windows-free.
#pragma once

#include <string>

#include "check_report.h"
#include "profile_reader.h"
#include "windows_versions.h"

namespace zk::inicheck {

struct Checker {
    const ProfileFile& file;
    const WindowsVersion& version;
    const char* windowsDirectory;
    const char* systemDirectory;
    CheckReport report;

    void Say(const std::string& text) { inicheck::Say(&report, text); }
    void Warn(const std::string& text) { inicheck::Warn(&report, text); }
};

// The web-update switch of each class for the install section, the NoFNW
// switch and the finish-install decision they make, and the ERROR lines a
// search without answer leaves in the log.
void CheckWebUpdateSwitches(Checker* checker, const char* installSection);

// Switch sections whose names no Windows version asks for.
void CheckSwitchSectionNames(Checker* checker);

// The NoFNW line of a setup section, which the interpreter also runs.
// prefix: "line N: <text> -> ".
void DescribeNoFnwLine(Checker* checker, const char* section, const ProfileEntry& entry,
                       const std::string& prefix);

extern const char kNoFnwKey[];

}  // namespace zk::inicheck
