#include "ini_check.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "launch/web_update_core.h"
#include "setupactions/setup_line.h"

namespace zk::inicheck {

namespace {

const WindowsVersion kVersions[] = {
    {"98", "Windows 98", 4, 10, false, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},
    {"nt4", "Windows NT 4.0", 4, 0, true, "C:\\WINNT", "C:\\WINNT\\system32"},
    {"2000", "Windows 2000", 5, 0, true, "C:\\WINNT", "C:\\WINNT\\system32"},
    {"xp", "Windows XP", 5, 1, true, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
    {"2003", "Windows Server 2003", 5, 2, true, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
    {"vista", "Windows Vista", 6, 0, true, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
    {"7", "Windows 7", 6, 1, true, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
    // Later versions report 6.2 to a program without a compatibility manifest.
    {"8", "Windows 8 or later", 6, 2, true, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
};

const char* const kSwitchClasses[] = {"Audio", "Video"};

// printf into a string of the size the text needs: nothing is ever cut.
// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// NOLINTNEXTLINE(cert-dcl50-cpp): as above.
std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): started just above.
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        if (vsnprintf(&text[0], text.size(), format, again) == length) {
            text.resize(static_cast<size_t>(length));
        } else {
            text.clear();
        }
    }
    va_end(again);
    return text;
}

struct Checker {
    const ProfileFile& file;
    const WindowsVersion& version;
    const char* windowsDirectory;
    const char* systemDirectory;
    CheckReport report;

    void Say(const std::string& text) { report.text += text + "\n"; }
    void Warn(const std::string& text) {
        report.text += "warning: " + text + "\n";
        ++report.warnings;
    }
    bool IsWin2000() const { return version.nt && version.major == 5 && version.minor == 0; }
    bool IsWinXP() const { return version.nt && version.major == 5 && version.minor == 1; }
};

std::string EntryText(const ProfileEntry& entry) {
    return entry.hasValue ? entry.name + "=" + entry.value : entry.name;
}

const char* RegistrationName(RegistrationKind kind) {
    switch (kind) {
        case RegistrationKind::InProcessServer:
            return "regsvr32";
        case RegistrationKind::LocalServer:
            return "its /REGSERVER switch";
        case RegistrationKind::None:
            break;
    }
    return "nothing";
}

// What the file's own extension (after the last '.' of its name, any case)
// suggests the engineer meant.
RegistrationKind IntendedRegistration(const char* path) {
    const char* name = strrchr(path, '\\');
    name = name == nullptr ? path : name + 1;
    const char* dot = strrchr(name, '.');
    if (dot == nullptr) {
        return RegistrationKind::None;
    }
    const char* extension = dot + 1;
    if (strcasecmp(extension, "dll") == 0 || strcasecmp(extension, "ax") == 0 ||
        strcasecmp(extension, "ocx") == 0) {
        return RegistrationKind::InProcessServer;
    }
    if (strcasecmp(extension, "exe") == 0) {
        return RegistrationKind::LocalServer;
    }
    return RegistrationKind::None;
}

// True when the command line was built.
bool DescribeBuild(Checker* checker, int line, const std::string& prefix, BuildResult result,
                   const char* commandLine, const char* path) {
    switch (result) {
        case BuildResult::Built:
            checker->Say(prefix + "start " + commandLine);
            return true;
        case BuildResult::QuoteInPath:
            checker->Say(prefix + "not run: the path holds a double quote");
            checker->Warn(
                Format("line %d: \"%s\" holds a double quote; it is not registered", line, path));
            break;
        case BuildResult::TooLong:
            checker->Say(prefix + "not run: command line too long");
            checker->Warn(
                Format("line %d: the command line that registers \"%s\" is longer "
                       "than %u characters; it is not registered",
                       line, path, static_cast<unsigned>(kSetupTextCapacity - 1)));
            break;
    }
    return false;
}

// A path with neither a drive nor a leading backslash.
bool IsRelativePath(const char* path) {
    bool drive = path[0] != '\0' && path[1] == ':';
    return !drive && path[0] != '\\';
}

// A file handed to registration: the command line the co-installer starts.
// keyLine: the line was a key=value line, warned about on its own.
void DescribeRegistration(Checker* checker, int line, const std::string& prefix, const char* path,
                          bool keyLine) {
    RegistrationKind kind = ClassifyRegistration(path);
    char commandLine[kSetupTextCapacity];
    bool built = false;
    switch (kind) {
        case RegistrationKind::InProcessServer:
            built = DescribeBuild(checker, line, prefix,
                                  BuildRegsvr32CommandLine(commandLine, sizeof(commandLine),
                                                           checker->systemDirectory, path),
                                  commandLine, path);
            break;
        case RegistrationKind::LocalServer:
            built = DescribeBuild(checker, line, prefix,
                                  BuildServerCommandLine(commandLine, sizeof(commandLine), path),
                                  commandLine, path);
            break;
        case RegistrationKind::None:
            if (strchr(path, '.') == nullptr) {
                checker->Say(prefix + "nothing: \"" + path + "\" holds no '.'");
                if (!keyLine) {
                    checker->Warn(Format("line %d: \"%s\" holds no '.', so it is not registered",
                                         line, path));
                }
            } else {
                checker->Say(prefix + "nothing: no registration rule matches \"" + path + "\"");
                checker->Warn(
                    Format("line %d: \"%s\" is not registered: only DLL, dll, AX, ax, "
                           "EXE and exe (case as written) after its first '.' count",
                           line, path));
            }
            return;
    }
    if (!built) {
        return;
    }
    if (IsRelativePath(path)) {
        checker->Warn(
            Format("line %d: \"%s\" is registered as written, without a directory "
                   "(codes 10 and 11 put one in front)",
                   line, path));
    }
    RegistrationKind intended = IntendedRegistration(path);
    if (intended != kind) {
        checker->Warn(
            Format("line %d: \"%s\" is registered by %s, since the words are looked for "
                   "in \"%s\" (from its first '.'), not by its extension",
                   line, path, RegistrationName(kind), strchr(path, '.')));
    }
}

// One line of a setup section, as the interpreter runs it.
void CheckSetupLine(Checker* checker, const ProfileEntry& entry, const std::string& text,
                    bool* installMonitor, int* declinedAt) {
    int line = entry.line;
    std::string prefix = Format("line %d: %s -> ", line, text.c_str());
    if (text.size() >= kSetupTextCapacity) {
        checker->Say(prefix + "not run: line too long");
        checker->Warn(Format("line %d: longer than %u characters; the line is not run", line,
                             static_cast<unsigned>(kSetupTextCapacity - 1)));
        return;
    }
    SetupAction action = ParseSetupLine(text.c_str());
    const char* argument = action.argument;
    bool keyLine = entry.hasValue && !action.hasComma;
    char path[kSetupTextCapacity];
    char keyPath[kSetupTextCapacity];
    const char* valueName = nullptr;
    switch (action.kind) {
        case SetupActionKind::RegisterFile:
            DescribeRegistration(checker, line, prefix, argument, keyLine);
            if (keyLine) {
                checker->Warn(
                    Format("line %d: the key line \"%s\" is no setup action; the "
                           "interpreter hands it to registration as a file name",
                           line, text.c_str()));
            }
            break;
        case SetupActionKind::RegisterInWindowsDirectory:
        case SetupActionKind::RegisterInSystemDirectory: {
            const char* directory = action.kind == SetupActionKind::RegisterInWindowsDirectory
                                        ? checker->windowsDirectory
                                        : checker->systemDirectory;
            if (!JoinSetupPath(path, sizeof(path), directory, argument)) {
                checker->Say(prefix + "not run: path too long");
                checker->Warn(Format(
                    "line %d: the path %s\\%s is longer than %u characters; it "
                    "is not registered",
                    line, directory, argument, static_cast<unsigned>(kSetupTextCapacity - 1)));
                break;
            }
            DescribeRegistration(checker, line, prefix, path, false);
            break;
        }
        case SetupActionKind::DisableAutoPlay:
            checker->Say(prefix + "log only (DisableAutoPlay is not supported)");
            checker->Warn(
                Format("line %d: DisableAutoPlay is only logged as not supported; "
                       "nothing changes",
                       line));
            break;
        case SetupActionKind::DisableUnsafeDialog:
            if (checker->IsWin2000()) {
                checker->Say(prefix + "install the storage class upper filter");
            } else {
                checker->Say(prefix + "log only (the storage filter is for Windows 2000 only)");
                checker->Warn(
                    Format("line %d: DisableUnsafeDialog does nothing on %s beyond its "
                           "log line; only Windows 2000 gets the storage filter",
                           line, checker->version.label));
            }
            break;
        case SetupActionKind::DeleteRegistryValue:
        case SetupActionKind::CreateRegistryValue: {
            bool create = action.kind == SetupActionKind::CreateRegistryValue;
            if (!NamesRegistryKey(argument) ||
                !SplitRegistryArgument(argument, keyPath, sizeof(keyPath), &valueName)) {
                checker->Say(prefix + "ignored: no key path");
                checker->Warn(
                    Format("line %d: \"%s\" %s, so it names no key under HKEY_LOCAL_MACHINE; "
                           "the line is ignored",
                           line, argument,
                           strchr(argument, '\\') == nullptr
                               ? "holds no backslash"
                               : "has nothing in front of its last backslash"));
                break;
            }
            std::string value = valueName[0] == '\0' ? std::string("the default value")
                                                     : "value \"" + std::string(valueName) + "\"";
            if (create) {
                checker->Say(prefix + "set " + value + " of HKLM\\" + keyPath +
                             " to the DWORD 1 (only if that key exists)");
            } else {
                checker->Say(prefix + "delete " + value + " of HKLM\\" + keyPath);
            }
            break;
        }
        case SetupActionKind::CopyHidUsbDriver:
            checker->Say(prefix + "copy " + checker->systemDirectory + "\\hidusb.sys to " +
                         checker->systemDirectory + "\\Drivers\\hidusb.sys");
            break;
        case SetupActionKind::DeclineBandwidthMonitor:
            checker->Say(prefix + "the bandwidth monitor is not installed");
            *installMonitor = false;
            if (*declinedAt == 0) {
                *declinedAt = line;
            }
            break;
        case SetupActionKind::UnknownModule:
            checker->Say(prefix + "log only (unknown module)");
            checker->Warn(
                Format("line %d: module \"%s\" is unknown; code 103 knows only "
                       "NO_ROVudevid",
                       line, argument));
            break;
        case SetupActionKind::Nothing:
            checker->Say(prefix + "nothing");
            checker->Warn(
                Format("line %d: \"%s\" selects nothing for code %d; the line is "
                       "skipped without a log line",
                       line, argument, action.code));
            break;
    }
}

// "<prefix>.<major>.<minor>" in any case: a switch section of one version.
bool VersionedSwitchSection(const std::string& name, const std::string& prefix, unsigned* major,
                            unsigned* minor) {
    if (name.size() <= prefix.size() + 1 ||
        strncasecmp(name.c_str(), prefix.c_str(), prefix.size()) != 0 ||
        name[prefix.size()] != '.') {
        return false;
    }
    const char* text = name.c_str() + prefix.size() + 1;
    unsigned parts[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        if (*text < '0' || *text > '9') {
            return false;
        }
        while (*text >= '0' && *text <= '9') {
            parts[i] = parts[i] * 10 + static_cast<unsigned>(*text - '0');
            ++text;
        }
        if (i == 0 && *text++ != '.') {
            return false;
        }
    }
    *major = parts[0];
    *minor = parts[1];
    return *text == '\0';
}

// Which switch section answers for each class, and switches that this
// version never reads although they say otherwise.
void CheckWebUpdateSwitches(Checker* checker, const char* installSection) {
    const WindowsVersion& version = checker->version;
    KestrSectionSearch search;
    BuildKestrSectionSearch(installSection, true, version.major, version.minor, &search);
    if (search.count < 4) {
        checker->Warn(
            Format("[%s]: the name is too long for its web-update switch sections; "
                   "only [KESTR.DevType] sections are read",
                   installSection));
    }
    for (const char* className : kSwitchClasses) {
        char value[kSwitchValueSize] = {};
        const char* selected = nullptr;
        for (int i = 0; i < search.count && selected == nullptr; ++i) {
            if (ReadProfileString(checker->file, search.names[i], className, value, sizeof(value)) >
                0) {
                selected = search.names[i];
            }
        }
        bool on = selected != nullptr && IsSwitchValueOn(value);
        if (selected != nullptr) {
            checker->Say(Format("web update, %s: [%s] %s=%s -> %s", className, selected, className,
                                value, on ? "on" : "off"));
        } else {
            std::string asked;
            for (int i = 0; i < search.count; ++i) {
                asked += std::string(i == 0 ? "" : ", ") + "[" + search.names[i] + "]";
            }
            checker->Say(Format("web update, %s: no section answers (asked %s) -> off", className,
                                asked.c_str()));
        }
        const std::string prefixes[] = {std::string(installSection) + ".KESTR", "KESTR.DevType"};
        for (const ProfileSection& section : checker->file.sections) {
            unsigned major = 0;
            unsigned minor = 0;
            bool versioned = false;
            for (const std::string& prefix : prefixes) {
                versioned =
                    versioned || VersionedSwitchSection(section.name, prefix, &major, &minor);
            }
            // A later section of a name already seen is never read on any version.
            if (!versioned || (major == version.major && minor == version.minor) ||
                FindSection(checker->file, section.name.c_str()) != &section) {
                continue;
            }
            // Read as the version it was written for would read it.
            char other[kSwitchValueSize] = {};
            if (ReadProfileString(checker->file, section.name.c_str(), className, other,
                                  sizeof(other)) == 0) {
                continue;
            }
            for (const ProfileEntry& entry : section.entries) {
                if (strcasecmp(entry.name.c_str(), className) != 0) {
                    continue;
                }
                if (IsSwitchValueOn(other) != on) {
                    checker->Warn(Format(
                        "line %d: [%s] %s=%s is never read on %s (%u.%u), "
                        "where %s is %s",
                        entry.line, section.name.c_str(), className, entry.value.c_str(),
                        version.label, version.major, version.minor, className, on ? "on" : "off"));
                }
                break;
            }
        }
    }
}

void CheckSetupSection(Checker* checker, const char* name) {
    checker->Say(Format("[%s]", name));
    const ProfileSection* section = FindSection(checker->file, name);
    for (const ProfileSection& other : checker->file.sections) {
        if (&other != section && section != nullptr && strcasecmp(other.name.c_str(), name) == 0) {
            checker->Warn(Format("line %d: [%s] again; only the first one (line %d) is read",
                                 other.line, other.name.c_str(), section->line));
        }
    }
    // Wine leaves comment lines out of a section read, and the checker reads
    // as Wine does; a profile reader that handed one back would make it an
    // action (a comma in the comment even gives it a code). Comments belong
    // above the first section.
    if (section != nullptr) {
        for (const ProfileEntry& entry : section->entries) {
            if (!entry.name.empty() && entry.name[0] == ';') {
                checker->Warn(
                    Format("line %d: a comment inside a setup-action section; keep "
                           "comments above the first section, where no read sees them",
                           entry.line));
            }
        }
    }

    // The same reads and the same decisions as the interpreter: the lines in
    // a read of kSectionReadCapacity characters, less a last line that a
    // larger read shows was cut.
    char buffer[kSectionReadCapacity];
    size_t count = ReadProfileSection(checker->file, name, buffer, sizeof(buffer));
    bool installMonitor = true;
    int declinedAt = 0;
    if (count == 0) {
        checker->Say("no lines: nothing runs");
        std::string image = checker->IsWin2000() || checker->IsWinXP()
                                ? "; an image-class device's run logs it as an error"
                                : "";
        checker->Warn(Format("[%s] %s%s", name,
                             section == nullptr ? "is not in the file" : "has no lines to run",
                             image.c_str()));
    } else if (section != nullptr) {  // a read that returned lines found the section
        std::vector<const ProfileEntry*> entries = ReturnedEntries(*section);
        size_t whole = count;
        if (SectionReadMayBeCut(count, sizeof(buffer))) {
            char longer[kSectionCheckCapacity];
            size_t longerCount = ReadProfileSection(checker->file, name, longer, sizeof(longer));
            whole = WholeSectionLines(buffer, count, longer, longerCount);
        }
        size_t index = 0;
        size_t position = 0;
        const char* text = nullptr;
        size_t length = 0;
        while (NextSectionLine(buffer, whole, &position, &text, &length) &&
               index < entries.size()) {
            CheckSetupLine(checker, *entries[index++], std::string(text, length), &installMonitor,
                           &declinedAt);
        }
        // Whatever follows the whole lines in the buffer is the cut last line.
        size_t cutPosition = whole;
        if (NextSectionLine(buffer, count, &cutPosition, &text, &length) &&
            index < entries.size()) {
            const ProfileEntry& entry = *entries[index++];
            checker->Say(Format("line %d: %s -> not run: cut to \"%.*s\"", entry.line,
                                EntryText(entry).c_str(), static_cast<int>(length), text));
            checker->Warn(
                Format("line %d: cut by the %u-character section read; the line is "
                       "not run",
                       entry.line, static_cast<unsigned>(sizeof(buffer))));
        }
        for (; index < entries.size(); ++index) {
            const ProfileEntry& entry = *entries[index];
            checker->Say(
                Format("line %d: %s -> not run: not read", entry.line, EntryText(entry).c_str()));
            checker->Warn(
                Format("line %d: beyond the %u-character section read; the line is "
                       "not run",
                       entry.line, static_cast<unsigned>(sizeof(buffer))));
        }
    }
    if (installMonitor) {
        checker->Say("bandwidth monitor: installed");
    } else {
        checker->Say(Format("bandwidth monitor: not installed (line %d)", declinedAt));
    }
    CheckWebUpdateSwitches(checker, name);
}

}  // namespace

const char kDefaultWindowsVersion[] = "xp";

const char kCheckUsage[] =
    "usage: zkinicheck [--section NAME | --all] [--windows VERSION] [--windows-dir DIR]\n"
    "                  [--system-dir DIR] FILE\n"
    "Prints what the co-installer does with the setup sections of FILE (a zkcoinst.ini)\n"
    "and warns about lines it skips or runs unexpectedly. Without --section, every\n"
    "section but the web-update switch sections is checked.\n"
    "VERSION: 98, nt4, 2000, xp (the default), 2003, vista, 7, 8.\n"
    "Exit status: 0 no warning, 1 warnings, 2 usage or read error.\n";

const WindowsVersion* FindWindowsVersion(const char* option) {
    for (const WindowsVersion& version : kVersions) {
        if (strcasecmp(version.option, option) == 0) {
            return &version;
        }
    }
    return nullptr;
}

bool ParseCheckArguments(int argc, const char* const* argv, CheckOptions* options,
                         std::string* error) {
    *options = CheckOptions();
    options->version = FindWindowsVersion(kDefaultWindowsVersion);
    bool all = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool takesValue = argument == "--section" || argument == "--windows" ||
                          argument == "--windows-dir" || argument == "--system-dir";
        if (takesValue && i + 1 >= argc) {
            *error = argument + " needs a value";
            return false;
        }
        if (argument == "--section") {
            options->section = argv[++i];
        } else if (argument == "--all") {
            all = true;
        } else if (argument == "--windows") {
            options->version = FindWindowsVersion(argv[++i]);
            if (options->version == nullptr) {
                *error = std::string("unknown Windows version ") + argv[i];
                return false;
            }
        } else if (argument == "--windows-dir") {
            options->windowsDirectory = argv[++i];
        } else if (argument == "--system-dir") {
            options->systemDirectory = argv[++i];
        } else if (argument.size() > 1 && argument[0] == '-') {
            *error = "unknown option " + argument;
            return false;
        } else if (options->fileName != nullptr) {
            *error = "more than one file";
            return false;
        } else {
            options->fileName = argv[i];
        }
    }
    if (all && options->section != nullptr) {
        *error = "--section and --all exclude each other";
        return false;
    }
    if (options->fileName == nullptr) {
        *error = "no file";
        return false;
    }
    return true;
}

bool IsSwitchSectionName(const std::string& name) {
    const char kDevType[] = "KESTR.DevType";
    if (strncasecmp(name.c_str(), kDevType, sizeof(kDevType) - 1) == 0) {
        return true;
    }
    for (size_t i = 0; i + 6 <= name.size(); ++i) {
        if (strncasecmp(name.c_str() + i, ".KESTR", 6) == 0 &&
            (i + 6 == name.size() || name[i + 6] == '.')) {
            return true;
        }
    }
    return false;
}

CheckReport CheckProfile(const ProfileFile& file, const CheckOptions& options) {
    const WindowsVersion& version = *options.version;
    // On Windows 98 a user-given Windows directory has its system directory in
    // SYSTEM, on NT-based versions in system32.
    std::string systemDirectory;
    if (options.systemDirectory != nullptr) {
        systemDirectory = options.systemDirectory;
    } else if (options.windowsDirectory != nullptr) {
        systemDirectory =
            std::string(options.windowsDirectory) + (version.nt ? "\\system32" : "\\SYSTEM");
    } else {
        systemDirectory = version.systemDirectory;
    }
    const char* windowsDirectory =
        options.windowsDirectory != nullptr ? options.windowsDirectory : version.windowsDirectory;
    Checker checker{file, version, windowsDirectory, systemDirectory.c_str(), CheckReport()};
    checker.Say(Format("%s on %s (%u.%u), Windows directory %s, system directory %s",
                       options.fileName != nullptr ? options.fileName : "zkcoinst.ini",
                       version.label, version.major, version.minor, windowsDirectory,
                       systemDirectory.c_str()));
    if (options.section != nullptr) {
        checker.Say("");
        CheckSetupSection(&checker, options.section);
    } else {
        int checked = 0;
        for (const ProfileSection& section : file.sections) {
            // A name that came before is read from its first section only.
            if (IsSwitchSectionName(section.name) ||
                FindSection(file, section.name.c_str()) != &section) {
                continue;
            }
            checker.Say("");
            CheckSetupSection(&checker, section.name.c_str());
            ++checked;
        }
        if (checked == 0) {
            checker.Say("");
            checker.Say("no setup sections");
        }
    }
    checker.Say("");
    if (checker.report.warnings == 0) {
        checker.Say("no warnings");
    } else {
        checker.Say(Format("%d warning%s", checker.report.warnings,
                           checker.report.warnings == 1 ? "" : "s"));
    }
    return checker.report;
}

}  // namespace zk::inicheck
