// What every rule of the package checker shares: the report it writes into,
// the verdict of the models section at hand, the processor it is judged for,
// and the few ways an INF's names and lines are shown. Windows-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inf_reader.h"
#include "pe_image.h"
#include "pkg_check.h"

namespace zk::pkgcheck {

inline constexpr char kCoInstallerDll[] = "zkcoinst.dll";
inline constexpr char kCoInstallerEntry[] = "ZkCoInstaller";
inline constexpr char kSetupEntry[] = "SetupEntryPoint";
inline constexpr char kControlFile[] = "zkcoinst.ini";

struct ArchitectureInfo {
    const char* name;
    const char* decoration;        // of models and install sections
    const char* sourceDecoration;  // of SourceDisksNames and SourceDisksFiles
    const char* windows;           // the Windows version zkinicheck judges for
    uint16_t machine;
    Architecture architecture;
};

const ArchitectureInfo& Info(Architecture architecture);

struct Checker {
    const InfFile& inf;
    const Package& package;
    PackageReport report;

    void Say(int depth, const std::string& text) {
        report.text += std::string(static_cast<size_t>(depth) * 2, ' ') + text + "\n";
    }
    void Warn(int depth, const std::string& text) {
        Say(depth, "warning: " + text);
        ++report.warnings;
    }
    const InfSection* Section(const std::string& name) const { return FindInfSection(inf, name); }
};

// What stops the co-installer in one models section: the first such finding.
struct Verdict {
    std::string reason;
    void Stop(const std::string& why) {
        if (reason.empty()) {
            reason = why;
        }
    }
};

std::string Bracket(const std::string& name);
std::string LineOf(int line);
// "line N: " in front of what a line says, when the line is known.
std::string At(const InfLine& line);
// "[name] (line N)" with the name as the INF spells it.
std::string Named(const InfSection& section);
std::string Field(const InfLine& line, size_t index);
// File names as Windows compares them: without regard to case.
bool SameFileName(const std::string& a, const std::string& b);
bool EndsWithDll(const std::string& name);
// Whether name is one of names (the file names zkcoinst.dll is copied under).
bool IsCoInstallerName(const std::string& name, const std::vector<std::string>& names);
std::string Hex(unsigned long value, int digits);
// A number as SetupGetIntField reads it: "0x" and hexadecimal digits, or
// decimal digits; empty is 0.
bool ReadInfNumber(const std::string& text, unsigned long* value);
// A path of the package as an INF gives it, parts joined by "\", empty ones left out.
std::string PackagePath(const std::vector<std::string>& parts);

}  // namespace zk::pkgcheck
