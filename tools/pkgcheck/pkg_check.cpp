#include "pkg_check.h"

#include <strings.h>

#include <cstring>
#include <vector>

#include "common/bounded_text.h"
#include "ini_check.h"
#include "package_files.h"
#include "pe_image.h"
#include "profile_reader.h"

namespace zk::pkgcheck {

namespace {

const char kCoInstallerDll[] = "zkcoinst.dll";
const char kCoInstallerEntry[] = "ZkCoInstaller";
const char kSetupEntry[] = "SetupEntryPoint";
const char kControlFile[] = "zkcoinst.ini";
const char kSystemDirectoryId[] = "11";

// AddReg flags (setupapi.h).
constexpr unsigned long kFlagDeleteValue = 0x00000004;
constexpr unsigned long kFlagKeyOnly = 0x00000010;
constexpr unsigned long kFlagTypeMask = 0xFFFF0001;
constexpr unsigned long kFlagTypeMultiString = 0x00010000;

struct ArchitectureInfo {
    const char* name;
    const char* decoration;        // of models and install sections
    const char* sourceDecoration;  // of SourceDisksNames and SourceDisksFiles
    const char* windows;           // the Windows version zkinicheck judges for
    uint16_t machine;
};

const ArchitectureInfo& Info(Architecture architecture) {
    static const ArchitectureInfo kX86 = {"x86", "NTx86", "x86", "xp", kMachineI386};
    static const ArchitectureInfo kAmd64 = {"amd64", "NTamd64", "amd64", "7", kMachineAmd64};
    return architecture == Architecture::X86 ? kX86 : kAmd64;
}

std::string Bracket(const std::string& name) {
    return "[" + name + "]";
}

std::string LineOf(int line) {
    return "line " + std::to_string(line);
}

// "line N: " in front of what a line says, when the line is known.
std::string At(const InfLine& line) {
    return line.line > 0 ? LineOf(line.line) + ": " : std::string();
}

// "[name] (line N)" with the name as the INF spells it.
std::string Named(const InfSection& section) {
    return Bracket(section.name) + (section.line > 0 ? " (" + LineOf(section.line) + ")" : "");
}

std::string Field(const InfLine& line, size_t index) {
    return index < line.fields.size() ? line.fields[index] : std::string();
}

// File names as Windows compares them: without regard to case.
bool SameFileName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool EndsWithDll(const std::string& name) {
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".dll") == 0;
}

std::string Hex(unsigned long value, int digits) {
    FixedText<24> text;
    return text.Format("0x%0*lx", digits, value) ? text.c_str() : "0x?";
}

// A number as SetupGetIntField reads it: "0x" and hexadecimal digits, or
// decimal digits; empty is 0.
bool ReadInfNumber(const std::string& text, unsigned long* value) {
    *value = 0;
    size_t start = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        start = 2;
        base = 16;
    }
    for (size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        *value = (*value * base + digit) & 0xFFFFFFFFul;
    }
    return true;
}

// A path of the package as an INF gives it, parts joined by "\", empty ones left out.
std::string PackagePath(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts) {
        std::string piece;
        for (size_t i = 0; i <= part.size(); ++i) {
            if (i == part.size() || part[i] == '\\' || part[i] == '/') {
                if (!piece.empty() && piece != ".") {
                    path += (path.empty() ? "" : "\\") + piece;
                }
                piece.clear();
            } else {
                piece += part[i];
            }
        }
    }
    return path;
}

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

// A line of a file list, followed to its source in the package.
struct CopyEntry {
    const InfLine* line = nullptr;
    std::string destination;
    std::string source;
    bool located = false;
    std::string path;   // to open
    std::string shown;  // package-relative, as the folder spells it
};

// Where a file list goes, from [DestinationDirs].
struct Destination {
    const InfLine* line = nullptr;
    bool isDefault = false;
    std::string directory;
    std::string subdirectory;
};

Destination FindDestination(const Checker& checker, const std::string& listName) {
    Destination destination;
    const InfSection* dirs = checker.Section("DestinationDirs");
    if (dirs == nullptr) {
        return destination;
    }
    if (!listName.empty()) {
        destination.line = FindInfLine(*dirs, listName);
    }
    if (destination.line == nullptr) {
        destination.line = FindInfLine(*dirs, "DefaultDestDir");
        destination.isDefault = destination.line != nullptr;
    }
    if (destination.line != nullptr) {
        destination.directory = Field(*destination.line, 0);
        destination.subdirectory = Field(*destination.line, 1);
    }
    return destination;
}

std::string DescribeDestination(const Destination& destination) {
    if (destination.line == nullptr) {
        return "without a destination";
    }
    std::string where = "to directory " + destination.directory;
    if (!destination.subdirectory.empty()) {
        where += "\\" + destination.subdirectory;
    }
    std::string from = "[DestinationDirs]";
    if (destination.line->line > 0) {
        from += " " + LineOf(destination.line->line);
    }
    return where + " (" + from + (destination.isDefault ? ", DefaultDestDir" : "") + ")";
}

// The line of a platform-decorated section, else of the undecorated one:
// the device installer looks a line up in both, the decorated first.
const InfLine* FindDecoratedLine(const Checker& checker, const std::string& base,
                                 const ArchitectureInfo& info, const std::string& key,
                                 const InfSection** found) {
    for (const std::string& name : {base + "." + info.sourceDecoration, base}) {
        const InfSection* section = checker.Section(name);
        const InfLine* line = section == nullptr ? nullptr : FindInfLine(*section, key);
        if (line != nullptr) {
            *found = section;
            return line;
        }
    }
    return nullptr;
}

std::string LineIn(const InfSection& section, const InfLine& line) {
    return Bracket(section.name) + (line.line > 0 ? " " + LineOf(line.line) : "");
}

// Follows one copied file to the package folder. Prints the entry.
void LocateSource(Checker* checker, const ArchitectureInfo& info, CopyEntry* entry,
                  Verdict* verdict, int depth) {
    const InfLine& line = *entry->line;
    std::string shownEntry = At(line) + entry->destination;
    if (!SameFileName(entry->source, entry->destination)) {
        shownEntry += " from " + entry->source;
    }
    std::string filesName = std::string("SourceDisksFiles.") + info.sourceDecoration;
    std::string namesName = std::string("SourceDisksNames.") + info.sourceDecoration;
    const InfSection* filesSection = nullptr;
    const InfLine* file =
        FindDecoratedLine(*checker, "SourceDisksFiles", info, entry->source, &filesSection);
    if (file == nullptr) {
        checker->Say(depth, shownEntry);
        checker->Warn(depth, At(line) + entry->source + " is in neither " + Bracket(filesName) +
                                 " nor [SourceDisksFiles], so the device installer has no "
                                 "source for it");
        verdict->Stop(entry->source + " is not in " + Bracket(filesName) +
                      " or [SourceDisksFiles]");
        return;
    }
    std::string disk = Field(*file, 0);
    const InfSection* namesSection = nullptr;
    const InfLine* names =
        FindDecoratedLine(*checker, "SourceDisksNames", info, disk, &namesSection);
    if (names == nullptr) {
        checker->Say(depth, shownEntry + " (" + LineIn(*filesSection, *file) + ")");
        checker->Warn(depth, At(*file) + "disk " + disk + " of " + entry->source +
                                 " is in neither " + Bracket(namesName) +
                                 " nor [SourceDisksNames]");
        verdict->Stop("disk " + disk + " is not in " + Bracket(namesName) +
                      " or [SourceDisksNames]");
        return;
    }
    std::string expected = PackagePath({Field(*names, 3), Field(*file, 1), entry->source});
    std::string origin = "(" + LineIn(*filesSection, *file) + ", disk " + disk + " in " +
                         LineIn(*namesSection, *names) + ")";
    entry->located =
        FindPackageFile(checker->package.folder, expected, &entry->path, &entry->shown);
    if (!entry->located) {
        checker->Say(depth, shownEntry + " " + origin);
        checker->Warn(depth, At(*file) + entry->source + " is not in the package folder at " +
                                 expected + ", where these lines put it");
        verdict->Stop(expected + " is missing from the package");
        return;
    }
    checker->Say(depth, shownEntry + " <- " + entry->shown + " " + origin);
}

// Judges a copy of zkcoinst.dll or zkcoinst.ini: both must reach the system
// folder, the DLL because the device installer loads it by its bare name and
// the INI because the co-installer reads it beside itself.
void JudgeCopyDestination(Checker* checker, const Destination& destination, const CopyEntry& entry,
                          Verdict* verdict, int depth) {
    bool isDll = SameFileName(entry.destination, kCoInstallerDll);
    std::string consequence =
        isDll ? "the device installer loads " + std::string(kCoInstallerDll) +
                    " by its name, from the system folder"
              : "the co-installer reads " + std::string(kControlFile) + " from the system folder";
    std::string problem;
    std::string why;
    if (destination.line == nullptr) {
        problem = At(*entry.line) +
                  "[DestinationDirs] names neither this file list nor "
                  "DefaultDestDir, so " +
                  entry.destination + " has no destination";
        why = entry.destination + " has no destination";
    } else if (destination.directory != kSystemDirectoryId) {
        std::string named = destination.directory == "12" ? " (the drivers folder)" : "";
        problem = At(*destination.line) + entry.destination + " goes to directory " +
                  destination.directory + named + ", not 11 (the system folder): " + consequence;
        why = entry.destination + " goes to directory " + destination.directory + ", not 11";
    } else if (!destination.subdirectory.empty()) {
        problem = At(*destination.line) + entry.destination + " goes to 11\\" +
                  destination.subdirectory + ", not to the system folder itself: " + consequence;
        why = entry.destination + " goes to a subfolder of directory 11";
    }
    if (problem.empty()) {
        return;
    }
    checker->Warn(depth, problem);
    if (isDll) {
        verdict->Stop(why);
    }
}

struct CopyResult {
    bool sawCopyFiles = false;
    std::vector<CopyEntry> entries;
};

// One CopyFiles line of the .CoInstallers section.
void CheckCopyFiles(Checker* checker, const ArchitectureInfo& info, const InfLine& directive,
                    CopyResult* result, Verdict* verdict, int depth) {
    result->sawCopyFiles = true;
    checker->Say(depth, At(directive) + "CopyFiles=" + InfLineText(directive));
    for (const std::string& item : directive.fields) {
        if (item.empty()) {
            continue;
        }
        // "@file" copies one file to DefaultDestDir.
        bool single = item[0] == '@';
        std::string listName = single ? std::string() : item;
        Destination destination = FindDestination(*checker, listName);
        std::vector<InfLine> singleLine;
        const std::vector<InfLine>* lines = nullptr;
        if (single) {
            InfLine line = directive;
            line.fields = {item.substr(1)};
            singleLine.push_back(line);
            lines = &singleLine;
            checker->Say(depth + 1, item + " " + DescribeDestination(destination));
        } else {
            const InfSection* list = checker->Section(item);
            if (list == nullptr) {
                checker->Warn(depth + 1, At(directive) + "CopyFiles names " + Bracket(item) +
                                             ", which is not in the INF");
                continue;
            }
            lines = &list->lines;
            checker->Say(depth + 1, Named(*list) + " " + DescribeDestination(destination));
        }
        for (const InfLine& line : *lines) {
            CopyEntry entry;
            entry.line = &line;
            entry.destination = Field(line, 0);
            entry.source = Field(line, 1).empty() ? entry.destination : Field(line, 1);
            if (entry.destination.empty()) {
                continue;
            }
            LocateSource(checker, info, &entry, verdict, depth + 2);
            if (SameFileName(entry.destination, kCoInstallerDll) ||
                SameFileName(entry.destination, kControlFile)) {
                JudgeCopyDestination(checker, destination, entry, verdict, depth + 2);
            }
            // The entry keeps pointing at the line, which outlives the check
            // only for list sections; a single copy is judged here and now.
            if (single) {
                entry.line = &directive;
            }
            result->entries.push_back(entry);
        }
    }
}

// One CoInstallers32 line: empty when it registers zkcoinst.dll's entry.
struct RegistrationJudgement {
    bool namesCoInstaller = false;
    std::string problem;  // the first thing wrong with it
    std::string why;      // the same, short
};

RegistrationJudgement JudgeRegistration(const InfLine& line) {
    RegistrationJudgement judgement;
    // reg-root, subkey, value name, flags, then the strings of the list.
    std::vector<std::string> values;
    if (line.fields.size() > 4) {
        values.assign(line.fields.begin() + 4, line.fields.end());
    }
    std::string named;
    std::string entryProblem;
    std::string entryWhy;
    bool entryRight = false;
    for (const std::string& value : values) {
        size_t comma = value.find(',');
        std::string dll = value.substr(0, comma);
        named += (named.empty() ? "\"" : ", \"") + value + "\"";
        if (!SameFileName(dll, kCoInstallerDll)) {
            continue;
        }
        judgement.namesCoInstaller = true;
        std::string entry = comma == std::string::npos ? std::string() : value.substr(comma + 1);
        if (entry == kCoInstallerEntry) {
            entryRight = true;
        } else if (entryProblem.empty() && comma == std::string::npos) {
            entryProblem = "\"" + value +
                           "\" names no entry, so the device installer calls "
                           "CoDeviceInstall, which zkcoinst.dll does not export";
            entryWhy = "CoInstallers32 names no entry";
        } else if (entryProblem.empty() && SameFileName(entry, kCoInstallerEntry)) {
            entryProblem = "the entry \"" + entry +
                           "\" is not ZkCoInstaller: GetProcAddress, "
                           "which finds the entry, tells case apart";
            entryWhy = "the entry " + entry + " differs from ZkCoInstaller in case";
        } else if (entryProblem.empty()) {
            entryProblem = "the entry \"" + entry + "\" is not ZkCoInstaller";
            entryWhy = "the entry " + entry + " is not ZkCoInstaller";
        }
    }
    std::string root = Field(line, 0);
    std::string flagsText = Field(line, 3);
    unsigned long flags = 0;
    bool flagsRead = ReadInfNumber(flagsText, &flags);
    if (!SameInfName(root, "HKR")) {
        judgement.problem = "CoInstallers32 goes to " + root +
                            ", not to HKR (the device's driver key, where the device installer "
                            "looks for it)";
        judgement.why = "CoInstallers32 is not written to HKR";
    } else if (!Field(line, 1).empty()) {
        judgement.problem = "CoInstallers32 goes to the subkey " + Field(line, 1) +
                            " of the driver key; the device installer reads it from the driver "
                            "key itself";
        judgement.why = "CoInstallers32 is written to a subkey";
    } else if (!flagsRead) {
        judgement.problem = "the flags \"" + flagsText + "\" are no number";
        judgement.why = "the flags of CoInstallers32 are no number";
    } else if ((flags & kFlagDeleteValue) != 0) {
        judgement.problem = "the flags " + flagsText +
                            " hold 0x00000004 (FLG_ADDREG_DELVAL): "
                            "the line deletes CoInstallers32";
        judgement.why = "the line deletes CoInstallers32";
    } else if ((flags & kFlagKeyOnly) != 0) {
        judgement.problem = "the flags " + flagsText +
                            " hold 0x00000010 (FLG_ADDREG_KEYONLY): "
                            "no value is written";
        judgement.why = "CoInstallers32 is not written";
    } else if ((flags & kFlagTypeMask) != kFlagTypeMultiString) {
        std::string written = (flags & kFlagTypeMask) == 0
                                  ? std::string("REG_SZ")
                                  : "type " + Hex(flags & kFlagTypeMask, 8);
        judgement.problem =
            (flagsText.empty() ? std::string("the line gives no flags, so it leaves")
                               : "the flags " + flagsText + " leave") +
            " out 0x00010000 (FLG_ADDREG_TYPE_MULTI_SZ): CoInstallers32 "
            "is written as " +
            written + ", and the device installer reads only a REG_MULTI_SZ list";
        judgement.why = "CoInstallers32 is not REG_MULTI_SZ (flag 0x00010000 missing)";
    } else if (values.empty()) {
        judgement.problem = "CoInstallers32 gets no string";
        judgement.why = "CoInstallers32 names no co-installer";
    } else if (!judgement.namesCoInstaller) {
        judgement.problem = "CoInstallers32 names " + named + ", not zkcoinst.dll";
        judgement.why = "CoInstallers32 does not name zkcoinst.dll";
    } else if (!entryRight) {
        judgement.problem = entryProblem;
        judgement.why = entryWhy;
    }
    return judgement;
}

struct RegistrationResult {
    bool sawAddReg = false;
    int lines = 0;       // CoInstallers32 lines
    bool right = false;  // one of them registers zkcoinst.dll,ZkCoInstaller
    bool warned = false;
    std::string firstProblem;  // of a line that does not name zkcoinst.dll
    std::string firstWhy;
};

// One AddReg line of the .CoInstallers section: its CoInstallers32 lines.
void CheckAddReg(Checker* checker, const InfLine& directive, RegistrationResult* result,
                 int depth) {
    result->sawAddReg = true;
    checker->Say(depth, At(directive) + "AddReg=" + InfLineText(directive));
    for (const std::string& item : directive.fields) {
        if (item.empty()) {
            continue;
        }
        const InfSection* section = checker->Section(item);
        if (section == nullptr) {
            checker->Warn(depth + 1, At(directive) + "AddReg names " + Bracket(item) +
                                         ", which is not in the INF");
            continue;
        }
        for (const InfLine& line : section->lines) {
            if (!SameInfName(Field(line, 2), "CoInstallers32")) {
                continue;
            }
            ++result->lines;
            RegistrationJudgement judgement = JudgeRegistration(line);
            if (judgement.problem.empty()) {
                result->right = true;
                checker->Say(depth + 1, At(line) + InfLineSource(line) +
                                            " -> registers zkcoinst.dll, entry ZkCoInstaller "
                                            "(REG_MULTI_SZ in the driver key)");
                continue;
            }
            checker->Say(depth + 1, At(line) + InfLineSource(line));
            // A line of another co-installer is no fault of its own: it
            // counts only when no line registers zkcoinst.dll.
            if (judgement.namesCoInstaller) {
                checker->Warn(depth + 1, At(line) + judgement.problem);
                if (!result->warned) {
                    result->firstWhy = judgement.why;
                }
                result->warned = true;
            } else if (result->firstProblem.empty()) {
                result->firstProblem = At(line) + judgement.problem;
                if (!result->warned) {
                    result->firstWhy = judgement.why;
                }
            }
        }
    }
}

std::string MachineName(uint16_t machine) {
    switch (machine) {
        case kMachineI386:
            return "x86";
        case kMachineAmd64:
            return "amd64";
        case 0x200:
            return "ia64";
        case 0x1c4:
            return "arm";
        case 0xaa64:
            return "arm64";
        default:
            return "machine " + Hex(machine, 4);
    }
}

std::string ExportList(const PeImage& image) {
    const size_t kShown = 6;
    if (image.exports.empty()) {
        return "none";
    }
    std::string list;
    for (size_t i = 0; i < image.exports.size() && i < kShown; ++i) {
        list += (i == 0 ? "" : ", ") + image.exports[i];
    }
    if (image.exports.size() > kShown) {
        list += ", ... (" + std::to_string(image.exports.size()) + " in all)";
    }
    return list;
}

// What the DLL exports instead of name, when it is the same name spelled
// otherwise: in another case, or with the "@N" that an x86 stdcall function
// gets when the DLL is linked without its .def file.
std::string NearName(const PeImage& image, const char* name) {
    size_t length = strlen(name);
    for (const std::string& exported : image.exports) {
        if (exported.size() > length + 1 && exported.compare(0, length, name) == 0 &&
            exported[length] == '@') {
            return "; it exports " + exported +
                   " instead, the name of an x86 stdcall function in a DLL linked without "
                   "its .def file";
        }
        if (SameFileName(exported, name)) {
            return "; it exports " + exported + ", which differs in case";
        }
    }
    return std::string();
}

// A DLL the .CoInstallers section copies: its machine, and for zkcoinst.dll
// its entries; the version of each.
void CheckDll(Checker* checker, const ArchitectureInfo& info, const CopyEntry& entry,
              Verdict* verdict, int depth) {
    std::string bytes;
    if (!ReadWholeFile(entry.path, &bytes)) {
        checker->Warn(depth, entry.shown + " cannot be read");
        verdict->Stop(entry.shown + " cannot be read");
        return;
    }
    PeImage image;
    std::string error;
    if (!ReadPeImage(bytes, &image, &error)) {
        checker->Say(depth, entry.shown + ": " + error);
        checker->Warn(depth, entry.shown + " is " + error);
        verdict->Stop(entry.shown + " is no PE file");
        return;
    }
    bool coInstaller = SameFileName(entry.destination, kCoInstallerDll);
    std::string text = entry.shown + ": " + MachineName(image.machine) +
                       (image.isDll ? " DLL" : " program") + " (" + Hex(image.machine, 0) + ")";
    bool hasEntry = ExportsName(image, kCoInstallerEntry);
    bool hasSetupEntry = ExportsName(image, kSetupEntry);
    if (coInstaller) {
        if (hasEntry && hasSetupEntry) {
            text += ", exports ZkCoInstaller and SetupEntryPoint";
        } else if (hasEntry || hasSetupEntry) {
            text += std::string(", exports ") + (hasEntry ? kCoInstallerEntry : kSetupEntry) +
                    ", not " + (hasEntry ? kSetupEntry : kCoInstallerEntry);
        } else {
            text += ", exports neither ZkCoInstaller nor SetupEntryPoint";
        }
        if (!hasEntry || !hasSetupEntry) {
            text += " (its exports: " + ExportList(image) + ")";
        }
    }
    if (image.hasVersion) {
        FixedText<32> version;
        text += version.Format(", version %u.%u.%u.%u", image.fileVersion[0], image.fileVersion[1],
                               image.fileVersion[2], image.fileVersion[3])
                    ? version.c_str()
                    : "";
    } else {
        text += ", no version resource";
    }
    checker->Say(depth, text);
    if (image.machine != info.machine) {
        checker->Warn(depth, entry.shown + " is built for " + MachineName(image.machine) + " (" +
                                 Hex(image.machine, 0) + "); " + info.name +
                                 " Windows loads only " + info.name + " DLLs (" +
                                 Hex(info.machine, 0) + ") into the device installer");
        verdict->Stop(entry.shown + " is built for " + MachineName(image.machine) + ", not " +
                      info.name);
    }
    if (!image.isDll) {
        checker->Warn(depth, entry.shown + " is a program, not a DLL");
        verdict->Stop(entry.shown + " is not a DLL");
    }
    if (coInstaller && !hasEntry) {
        checker->Warn(depth, entry.shown +
                                 " does not export ZkCoInstaller, the entry that "
                                 "CoInstallers32 names" +
                                 NearName(image, kCoInstallerEntry));
        verdict->Stop(entry.shown + " does not export ZkCoInstaller");
    }
    if (coInstaller && !hasSetupEntry) {
        checker->Warn(depth, entry.shown +
                                 " does not export SetupEntryPoint, through which a "
                                 "setup program runs zkcoinst.ini sections" +
                                 NearName(image, kSetupEntry));
    }
    if (!image.hasVersion) {
        checker->Warn(depth, entry.shown + " has no version resource");
    }
}

// zkcoinst.ini through zkinicheck, for the section the co-installer runs:
// the install section as the model line names it.
void CheckControlFile(Checker* checker, const ArchitectureInfo& info, const CopyResult& copies,
                      const std::string& installName, int depth) {
    std::string path;
    std::string shown;
    for (const CopyEntry& entry : copies.entries) {
        if (entry.located && SameFileName(entry.destination, kControlFile) && path.empty()) {
            path = entry.path;
            shown = entry.shown;
        }
    }
    if (path.empty() && !FindPackageFile(checker->package.folder, kControlFile, &path, &shown)) {
        checker->Say(depth,
                     "no zkcoinst.ini in the package: the co-installer runs no setup "
                     "actions");
        return;
    }
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        checker->Warn(depth, shown + " cannot be read");
        return;
    }
    inicheck::CheckOptions options;
    options.fileName = shown.c_str();
    options.section = installName.c_str();
    options.version = inicheck::FindWindowsVersion(info.windows);
    inicheck::CheckReport report = inicheck::CheckProfile(inicheck::ParseProfile(text), options);
    std::string heading = shown + " " + Bracket(installName) + ", as zkinicheck judges it for " +
                          options.version->label + ": ";
    checker->Say(depth,
                 heading + (report.warnings == 0 ? std::string("no warnings")
                                                 : std::to_string(report.warnings) + " warning" +
                                                       (report.warnings == 1 ? "" : "s")));
    const std::string kWarning = "warning: ";
    size_t start = 0;
    while (start < report.text.size()) {
        size_t end = report.text.find('\n', start);
        if (end == std::string::npos) {
            end = report.text.size();
        }
        if (report.text.compare(start, kWarning.size(), kWarning) == 0) {
            checker->Warn(depth, shown + ": " +
                                     report.text.substr(start + kWarning.size(),
                                                        end - start - kWarning.size()));
        }
        start = end + 1;
    }
}

// .CoInstallers sections that the engineer may have meant for the install
// section picked: those of its other decorations on this processor, and any
// whose install section is not in the INF. Those of another processor's
// install section are as they should be and go unmentioned.
std::string OtherCoInstallers(const Checker& checker, const std::string& name,
                              const InfSection& picked, const ArchitectureInfo& info) {
    std::string others;
    for (const char* decoration : {".NTx86", ".NTamd64", ".NT", ""}) {
        std::string base = name + decoration;
        const InfSection* other = checker.Section(base + ".CoInstallers");
        const InfSection* install = checker.Section(base);
        bool otherProcessor =
            (strcasecmp(decoration, ".NTx86") == 0 || strcasecmp(decoration, ".NTamd64") == 0) &&
            strcasecmp(decoration + 1, info.decoration) != 0;
        if (other == nullptr || SameInfName(base, picked.name) ||
            (otherProcessor && install != nullptr)) {
            continue;
        }
        others += "; " + Named(*other) + " is not read: it belongs to " + Bracket(base) + ", " +
                  (install == nullptr
                       ? "which is not in the INF"
                       : std::string("which ") + info.name + " Windows does not pick while " +
                             Bracket(picked.name) + " is in the INF");
    }
    return others;
}

// One install section that a model line of the models section names.
void CheckInstallSection(Checker* checker, Architecture architecture, const InfLine& model,
                         int models, Verdict* verdict) {
    const ArchitectureInfo& info = Info(architecture);
    std::string name = Field(model, 0);
    std::string said = At(model) + model.key;
    if (models > 1) {
        said += " and " + std::to_string(models - 1) + " more";
    }
    said += " -> " + name;
    std::string picked = ResolveInstallSection(checker->inf, name, architecture);
    if (picked.empty()) {
        checker->Say(1, said);
        checker->Warn(1, At(model) + "the install section " + name + " is missing: none of " +
                             Bracket(name + "." + info.decoration) + ", " + Bracket(name + ".NT") +
                             " and " + Bracket(name) + " is in the INF");
        verdict->Stop("the install section " + name + " is missing");
        return;
    }
    const InfSection& install = *checker->Section(picked);
    checker->Say(1, said + ": " + Named(install));
    const InfSection* coInstallers = checker->Section(install.name + ".CoInstallers");
    if (coInstallers == nullptr) {
        std::string missing = Bracket(install.name + ".CoInstallers");
        checker->Warn(1, missing +
                             " is missing, so the device installer registers no "
                             "co-installer for " +
                             Bracket(install.name) +
                             OtherCoInstallers(*checker, name, install, info));
        verdict->Stop(missing + " is missing");
        return;
    }
    checker->Say(1, Named(*coInstallers));
    CopyResult copies;
    RegistrationResult registration;
    for (const InfLine& line : coInstallers->lines) {
        if (line.hasKey && SameInfName(line.key, "CopyFiles")) {
            CheckCopyFiles(checker, info, line, &copies, verdict, 2);
        } else if (line.hasKey && SameInfName(line.key, "AddReg")) {
            CheckAddReg(checker, line, &registration, 2);
        }
    }
    std::string section = Bracket(coInstallers->name);
    if (!registration.sawAddReg) {
        checker->Warn(2, section + " has no AddReg line, so nothing writes CoInstallers32");
        verdict->Stop("nothing writes CoInstallers32");
    } else if (registration.lines == 0) {
        checker->Warn(2, "the AddReg sections of " + section + " write no CoInstallers32 value");
        verdict->Stop("nothing writes CoInstallers32");
    } else if (!registration.right) {
        if (!registration.warned) {
            checker->Warn(2, registration.firstProblem);
        }
        verdict->Stop(registration.firstWhy);
    }

    const CopyEntry* dll = nullptr;
    const CopyEntry* control = nullptr;
    for (const CopyEntry& entry : copies.entries) {
        if (dll == nullptr && SameFileName(entry.destination, kCoInstallerDll)) {
            dll = &entry;
        }
        if (control == nullptr && SameFileName(entry.destination, kControlFile)) {
            control = &entry;
        }
    }
    if (!copies.sawCopyFiles) {
        checker->Warn(2, section + " has no CopyFiles line, so zkcoinst.dll is not copied");
        verdict->Stop("zkcoinst.dll is not copied");
    } else if (dll == nullptr) {
        checker->Warn(2, "no CopyFiles of " + section + " copies zkcoinst.dll");
        verdict->Stop("zkcoinst.dll is not copied");
    }
    std::string unusedPath;
    std::string unusedShown;
    if (control == nullptr &&
        FindPackageFile(checker->package.folder, kControlFile, &unusedPath, &unusedShown)) {
        checker->Warn(2, "the package has zkcoinst.ini, but no CopyFiles of " + section +
                             " copies it: the co-installer reads it from the system folder "
                             "and runs no setup actions without it");
    }

    for (const CopyEntry& entry : copies.entries) {
        if (entry.located && EndsWithDll(entry.destination)) {
            CheckDll(checker, info, entry, verdict, 1);
        }
    }
    CheckControlFile(checker, info, copies, name, 1);
}

enum class DecorationKind { Checked, OtherProcessor, Unknown };

struct Decoration {
    std::string models;  // the models section it names
    std::string decoration;
    int line = 0;  // of [Manufacturer]
    DecorationKind kind = DecorationKind::Checked;
    Architecture architecture = Architecture::X86;
    std::string processor;
};

// A TargetOSVersion: "NT", a processor, then ".major.minor..." if any.
DecorationKind ReadDecoration(const std::string& text, Architecture* architecture,
                              std::string* processor) {
    if (text.size() < 2 || strncasecmp(text.c_str(), "NT", 2) != 0) {
        *processor = text;
        return DecorationKind::Unknown;
    }
    size_t dot = text.find('.', 2);
    *processor = text.substr(2, dot == std::string::npos ? std::string::npos : dot - 2);
    // "NT" alone serves x86: other processors need their own decoration.
    if (processor->empty() || strcasecmp(processor->c_str(), "x86") == 0) {
        *architecture = Architecture::X86;
        return DecorationKind::Checked;
    }
    if (strcasecmp(processor->c_str(), "amd64") == 0) {
        *architecture = Architecture::Amd64;
        return DecorationKind::Checked;
    }
    for (const char* other : {"ia64", "arm", "arm64"}) {
        if (strcasecmp(processor->c_str(), other) == 0) {
            return DecorationKind::OtherProcessor;
        }
    }
    return DecorationKind::Unknown;
}

std::vector<Decoration> CollectDecorations(Checker* checker, const InfSection& manufacturer) {
    std::vector<Decoration> decorations;
    for (const InfLine& line : manufacturer.lines) {
        std::string models = Field(line, 0);
        if (models.empty()) {
            checker->Warn(0, At(line) + "the [Manufacturer] line names no models section");
            continue;
        }
        bool decorated = false;
        for (size_t i = 1; i < line.fields.size(); ++i) {
            decorated = decorated || !line.fields[i].empty();
        }
        // Windows 2000, and x86 Windows that no decoration matches, read the
        // undecorated section; 64-bit Windows never does.
        if (!decorated || checker->Section(models) != nullptr) {
            Decoration undecorated;
            undecorated.models = models;
            undecorated.line = line.line;
            decorations.push_back(undecorated);
        }
        for (size_t i = 1; i < line.fields.size(); ++i) {
            if (line.fields[i].empty()) {
                continue;
            }
            Decoration decoration;
            decoration.models = models + "." + line.fields[i];
            decoration.decoration = line.fields[i];
            decoration.line = line.line;
            decoration.kind =
                ReadDecoration(line.fields[i], &decoration.architecture, &decoration.processor);
            decorations.push_back(decoration);
        }
    }
    return decorations;
}

std::string Purpose(const Decoration& decoration) {
    if (decoration.decoration.empty()) {
        return "x86, undecorated: read by Windows 2000 and by x86 Windows that no decoration "
               "matches";
    }
    if (decoration.processor.empty()) {
        return "x86 (NT without a processor serves x86 only)";
    }
    return Info(decoration.architecture).name;
}

// One models section: every install section its model lines name.
void CheckDecoration(Checker* checker, const Decoration& decoration) {
    const InfSection* models = checker->Section(decoration.models);
    std::string heading = models != nullptr ? Named(*models) : Bracket(decoration.models);
    std::string manufacturerLine = decoration.line > 0 ? LineOf(decoration.line) + ": " : "";
    Verdict verdict;
    if (decoration.kind == DecorationKind::OtherProcessor) {
        checker->Say(0, heading + ": " + decoration.processor +
                            ", not checked (zkcoinst.dll is built for x86 and amd64)");
        return;
    }
    ++checker->report.decorations;
    if (decoration.kind == DecorationKind::Unknown) {
        checker->Say(0, heading + ": no Windows");
        checker->Warn(1, manufacturerLine + "the decoration " + decoration.decoration +
                             " of [Manufacturer] names no processor that Windows knows (NTx86, "
                             "NTamd64, NTia64, NTarm, NTarm64), so no Windows reads " +
                             Bracket(decoration.models));
        verdict.Stop("no Windows reads " + Bracket(decoration.models));
    } else if (models == nullptr) {
        checker->Say(0, heading + ": " + Purpose(decoration));
        checker->Warn(
            1, manufacturerLine + "[Manufacturer] names " + heading + ", which is not in the INF");
        verdict.Stop(heading + " is missing");
    } else {
        checker->Say(0, heading + ": " + Purpose(decoration));
        // Model lines grouped by the install section they name, in order.
        std::vector<const InfLine*> first;
        std::vector<int> counts;
        for (const InfLine& line : models->lines) {
            if (Field(line, 0).empty()) {
                checker->Warn(1, At(line) + "the model line names no install section");
                continue;
            }
            size_t i = 0;
            while (i < first.size() && !SameInfName(Field(*first[i], 0), Field(line, 0))) {
                ++i;
            }
            if (i == first.size()) {
                first.push_back(&line);
                counts.push_back(0);
            }
            ++counts[i];
        }
        if (first.empty()) {
            checker->Warn(1, heading + " lists no model");
            verdict.Stop(heading + " lists no model");
        }
        for (size_t i = 0; i < first.size(); ++i) {
            Verdict section;
            CheckInstallSection(checker, decoration.architecture, *first[i], counts[i], &section);
            if (!section.reason.empty()) {
                verdict.Stop(first.size() > 1 ? Field(*first[i], 0) + ": " + section.reason
                                              : section.reason);
            }
        }
    }
    if (verdict.reason.empty()) {
        ++checker->report.sound;
        checker->Say(1, "verdict: the co-installer will run");
    } else {
        checker->Say(1, "verdict: the co-installer will not run: " + verdict.reason);
    }
}

}  // namespace

bool ParsePackageArguments(int argc, const char* const* argv, PackageOptions* options,
                           std::string* error) {
    *options = PackageOptions();
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--arch") {
            if (i + 1 >= argc) {
                *error = "--arch needs a value";
                return false;
            }
            std::string value = argv[++i];
            if (strcasecmp(value.c_str(), "x86") == 0) {
                options->architecture = Architecture::X86;
            } else if (strcasecmp(value.c_str(), "amd64") == 0) {
                options->architecture = Architecture::Amd64;
            } else {
                *error = "unknown architecture " + value + " (x86 or amd64)";
                return false;
            }
            options->allArchitectures = false;
        } else if (argument.size() > 1 && argument[0] == '-') {
            *error = "unknown option " + argument;
            return false;
        } else if (options->path != nullptr) {
            *error = "more than one package";
            return false;
        } else {
            options->path = argv[i];
        }
    }
    if (options->path == nullptr) {
        *error = "no package";
        return false;
    }
    return true;
}

bool LocatePackage(const char* path, Package* package, std::string* error) {
    std::string given = path;
    if (IsDirectory(given)) {
        std::string name;
        if (!FindInfInFolder(given, &name, error)) {
            return false;
        }
        package->folder = given;
        // Joined in the path's own style, as the report shows it.
        bool backslashes =
            given.find('\\') != std::string::npos && given.find('/') == std::string::npos;
        char last = given.empty() ? '/' : given.back();
        package->infPath =
            last == '/' || last == '\\' ? given + name : given + (backslashes ? "\\" : "/") + name;
        return true;
    }
    size_t slash = given.find_last_of("/\\");
    package->folder = slash == std::string::npos ? std::string(".")
                      : slash == 0               ? given.substr(0, 1)
                                                 : given.substr(0, slash);
    package->infPath = given;
    return true;
}

std::string ResolveInstallSection(const InfFile& inf, const std::string& name,
                                  Architecture architecture) {
    for (const std::string& candidate :
         {name + "." + Info(architecture).decoration, name + ".NT", name}) {
        const InfSection* section = FindInfSection(inf, candidate);
        if (section != nullptr) {
            return section->name;
        }
    }
    return std::string();
}

PackageReport CheckPackage(const InfFile& inf, const Package& package,
                           const PackageOptions& options) {
    Checker checker{inf, package, PackageReport()};
    checker.Say(0, package.infPath + " (package folder " + package.folder + ")");
    const InfSection* manufacturer = checker.Section("Manufacturer");
    if (manufacturer == nullptr) {
        checker.Say(0, "");
        checker.Warn(0, "the INF has no [Manufacturer] section, so it installs no device");
    } else {
        bool served = false;
        for (const Decoration& decoration : CollectDecorations(&checker, *manufacturer)) {
            bool checked = decoration.kind == DecorationKind::Checked;
            if (!options.allArchitectures &&
                (decoration.kind == DecorationKind::OtherProcessor ||
                 (checked && decoration.architecture != options.architecture))) {
                continue;
            }
            served = served || checked;
            checker.Say(0, "");
            CheckDecoration(&checker, decoration);
        }
        if (!served) {
            std::string which = options.allArchitectures ? std::string("x86 or amd64")
                                                         : Info(options.architecture).name;
            checker.Say(0, "");
            checker.Warn(0, "no models section of the INF serves " + which +
                                " (64-bit Windows reads only NTamd64 ones), so nothing installs "
                                "there");
        }
    }
    checker.Say(0, "");
    PackageReport& report = checker.report;
    if (report.decorations > 0) {
        int stopped = report.decorations - report.sound;
        checker.Say(0, std::to_string(report.decorations) + " models section" +
                           (report.decorations == 1 ? "" : "s") + " checked: " +
                           (stopped == 0
                                ? std::string("the co-installer will run from all")
                                : "the co-installer will run from " + std::to_string(report.sound) +
                                      ", not from " + std::to_string(stopped)));
    }
    checker.Say(0, report.warnings == 0 ? std::string("no warnings")
                                        : std::to_string(report.warnings) + " warning" +
                                              (report.warnings == 1 ? "" : "s"));
    return report;
}

}  // namespace zk::pkgcheck
