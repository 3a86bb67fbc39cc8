// What a check prints: lines of text and a count of warnings. Windows-free.
#pragma once

#include <string>

namespace zk::inicheck {

struct CheckReport {
    std::string text;  // what to print, every line ending in "\n"
    int warnings = 0;
};

// A line of the report.
void Say(CheckReport* report, const std::string& line);
// A line that starts "warning: " and counts.
void Warn(CheckReport* report, const std::string& line);

// printf into a string of the size the text needs: nothing is ever cut.
// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The closing line of a report: "no warnings", "1 warning", "N warnings".
std::string WarningCount(int warnings);

// "once", "twice", "N times".
std::string Times(int count);

}  // namespace zk::inicheck
