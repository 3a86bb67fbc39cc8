#include "ini_check.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "ini_checker.h"
#include "setupactions/setup_line.h"

namespace zk::inicheck {

namespace {

// Root key names that a registry line may not start with: the co-installer
// puts HKEY_LOCAL_MACHINE in front of every key path itself.
const char* const kRootNames[] = {"HKLM", "HKEY_LOCAL_MACHINE", "HKCU", "HKEY_CURRENT_USER",
                                  "HKCR", "HKEY_CLASSES_ROOT",  "HKU",  "HKEY_USERS",
                                  "HKCC", "HKEY_CURRENT_CONFIG"};

// Decorations that the device installer adds to an install section for the
// processor or platform; the co-installer gets the name without them.
const char* const kDecorations[] = {".NT", ".NTx86", ".NTamd64", ".NTia64", ".NTarm", ".NTarm64"};

// The line as a read returns it: name and value end at a NUL.
std::string EntryText(const ProfileEntry& entry) {
    std::string name = entry.name.c_str();
    return entry.hasValue ? name + "=" + entry.value.c_str() : name;
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

// True when the command line was built. prefix ends in "-> " and may carry a
// condition in front of the outcome, suffix the alternative after it.
bool DescribeBuild(Checker* checker, int line, const std::string& prefix, RegistrationKind kind,
                   BuildResult result, const char* commandLine, const char* path,
                   const char* suffix) {
    // A refusal names the registration refused: the log says which.
    std::string refused = std::string("not run (") + RegistrationName(kind) + "): ";
    switch (result) {
        case BuildResult::Built:
            checker->Say(prefix + "start " + commandLine + suffix);
            return true;
        case BuildResult::QuoteInPath:
            checker->Say(prefix + refused + "the path holds a double quote" + suffix);
            checker->Warn(
                Format("line %d: \"%s\" holds a double quote, which a setup-action line "
                       "keeps; a path with one is not registered",
                       line, path));
            break;
        case BuildResult::TooLong:
            checker->Say(prefix + refused + "command line too long" + suffix);
            checker->Warn(
                Format("line %d: the command line that registers \"%s\" is longer "
                       "than %u characters; it is not registered",
                       line, path, static_cast<unsigned>(kSetupTextCapacity - 1)));
            break;
    }
    return false;
}

void WarnAboutLongPath(Checker* checker, int line, const char* directory, const char* relative) {
    checker->Warn(
        Format("line %d: the path %s\\%s is longer than %u characters; it is not "
               "registered",
               line, directory, relative, static_cast<unsigned>(kSetupTextCapacity - 1)));
}

// A ';' or quotes in a file name as written: the line is taken whole, so they
// become part of the name. True when it warned.
bool WarnAboutNameDecoration(Checker* checker, int line, const char* written, const char* path) {
    const char* semicolon = strchr(written, ';');
    if (semicolon != nullptr) {
        checker->Warn(
            Format("line %d: \"%s\" is part of the file name: ';' starts a comment only "
                   "at the beginning of a line, so \"%s\" is registered",
                   line, semicolon, path));
        return true;
    }
    if (strchr(written, '\'') != nullptr) {
        checker->Warn(
            Format("line %d: the quotes are part of the file name: a setup-action line "
                   "keeps them, so \"%s\" is registered",
                   line, path));
        return true;
    }
    return false;
}

// A file handed to registration: the command line the co-installer starts.
// written: the file as the line wrote it. keyLine: the line was a key=value
// line, warned about on its own.
void DescribeRegistration(Checker* checker, int line, const std::string& prefix, const char* path,
                          const char* written, bool keyLine) {
    RegistrationKind kind = ClassifyRegistration(path);
    if (kind == RegistrationKind::None) {
        if (strchr(path, '.') == nullptr) {
            checker->Say(prefix + "nothing: \"" + path + "\" holds no '.'");
            if (!keyLine) {
                checker->Warn(
                    Format("line %d: \"%s\" holds no '.', so it is not registered", line, path));
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
    // A path that does not name its file from a drive's root or a share is
    // looked for in the system directory alone, and registered only when the
    // file is there (zk::IsFullyQualifiedPath).
    char resolved[kSetupTextCapacity];
    const char* target = path;
    std::string outcomePrefix = prefix;
    bool lookedFor = !IsFullyQualifiedPath(path);
    if (lookedFor) {
        if (!JoinSetupPath(resolved, sizeof(resolved), checker->systemDirectory, path)) {
            checker->Say(prefix + "not run: path too long");
            WarnAboutLongPath(checker, line, checker->systemDirectory, path);
            return;
        }
        if (strchr(path, '"') != nullptr) {
            checker->Say(prefix +
                         "not registered: no file name holds a double quote (an ERROR line)");
            checker->Warn(
                Format("line %d: \"%s\" holds a double quote, which a setup-action line "
                       "keeps; no file of that name is in the system directory, so it is not "
                       "registered",
                       line, path));
            return;
        }
        target = resolved;
        // The file is looked for before the command line is built.
        outcomePrefix = prefix + "if " + resolved + " is there: ";
    }
    char commandLine[kSetupTextCapacity];
    BuildResult result = kind == RegistrationKind::InProcessServer
                             ? BuildRegsvr32CommandLine(commandLine, sizeof(commandLine),
                                                        checker->systemDirectory, target)
                             : BuildServerCommandLine(commandLine, sizeof(commandLine), target);
    bool built = DescribeBuild(checker, line, outcomePrefix, kind, result, commandLine, target,
                               lookedFor ? "; else not registered (an ERROR line)" : "");
    if (!built || WarnAboutNameDecoration(checker, line, written, target)) {
        return;
    }
    if (lookedFor) {
        checker->Warn(
            Format("line %d: \"%s\" is no full path (a drive and a backslash, or "
                   "\\\\server\\share), so the co-installer looks for it in the system "
                   "directory only: it registers %s when that file is there, and "
                   "else logs an ERROR and registers nothing",
                   line, path, resolved));
    }
    RegistrationKind intended = IntendedRegistration(path);
    if (intended != kind) {
        checker->Warn(
            Format("line %d: \"%s\" is registered by %s, since the words are looked for "
                   "in \"%s\" (from its first '.'), not by its extension",
                   line, path, RegistrationName(kind), strchr(path, '.')));
    }
}

// A key path that can only be a mistake: the key it names does not exist, and
// the line changes nothing without a word in the log.
void WarnAboutKeyPath(Checker* checker, int line, const char* argument, const char* keyPath,
                      bool create) {
    const char* effect = create ? "sets nothing" : "deletes nothing";
    for (const char* root : kRootNames) {
        size_t length = strlen(root);
        if (strncasecmp(keyPath, root, length) == 0 &&
            (keyPath[length] == '\\' || keyPath[length] == '\0')) {
            checker->Warn(
                Format("line %d: \"%s\" begins with the root %.*s, which the "
                       "co-installer puts in front itself: HKLM\\%s does not exist, so "
                       "the line %s, without a log line",
                       line, argument, static_cast<int>(length), keyPath, keyPath, effect));
            return;
        }
    }
    if (keyPath[0] == ' ' || keyPath[0] == '\t') {
        checker->Warn(
            Format("line %d: \"%s\" begins with a blank, which is part of the key name: "
                   "HKLM\\%s does not exist, so the line %s, without a log line",
                   line, argument, keyPath, effect));
    }
}

// One line of a setup section, as the interpreter runs it.
void CheckSetupLine(Checker* checker, const char* section, const ProfileEntry& entry,
                    const std::string& text, bool* installMonitor, int* declinedAt) {
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
            // NoFNW is read from an install section, whose name is never empty.
            if (keyLine && section[0] != '\0' && strcasecmp(entry.name.c_str(), kNoFnwKey) == 0 &&
                ClassifyRegistration(argument) == RegistrationKind::None) {
                DescribeNoFnwLine(checker, section, entry, prefix);
                break;
            }
            if (!entry.hasValue && strcasecmp(entry.name.c_str(), kNoFnwKey) == 0) {
                checker->Say(prefix + "nothing: \"NoFNW\" holds no '.'");
                checker->Warn(
                    Format("line %d: NoFNW without \"=1\" does not set the NoFNW switch", line));
                break;
            }
            DescribeRegistration(checker, line, prefix, argument, argument, keyLine);
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
                WarnAboutLongPath(checker, line, directory, argument);
                break;
            }
            DescribeRegistration(checker, line, prefix, path, argument, false);
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
            if (checker->version.nt && checker->version.major == 5 && checker->version.minor == 0) {
                // The filter goes into the class list only while its driver
                // file is there: a list naming a missing driver stops the
                // class's devices from starting.
                checker->Say(prefix + "install the storage class upper filter (the service " +
                             "ZkClsUpr; added to the Volume class upper filters if " +
                             checker->systemDirectory +
                             "\\drivers\\ZkClsUpr.sys is there, else a WARNING line)");
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
                           "the line is ignored with a WARNING in the log",
                           line, argument,
                           strchr(argument, '\\') == nullptr
                               ? "holds no backslash"
                               : "has nothing in front of its last backslash"));
                break;
            }
            if (keyPath[0] == '\\') {
                // The registry takes no path that begins with a separator:
                // the key is never opened.
                checker->Say(prefix +
                             "nothing: a key path that begins with a backslash opens "
                             "no key");
                checker->Warn(
                    Format("line %d: \"%s\" begins with a backslash: the co-installer puts "
                           "HKEY_LOCAL_MACHINE\\ in front itself, and a key path that begins "
                           "with one opens no key, so the line %s, without a log line",
                           line, argument, create ? "sets nothing" : "deletes nothing"));
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
            WarnAboutKeyPath(checker, line, argument, keyPath, create);
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

// What the log says of a missing or empty section: on Windows 2000 and XP an
// Image-class device's installation counts it as an error. The empty name is
// never an install section: only SetupEntryPoint asks for it.
std::string MissingSectionLogLines(const Checker& checker, const char* name) {
    std::string other = Format("\"Section %s doesn't exist in INI file.\"", name);
    if (!IsWin2000OrXP(checker.version) || name[0] == '\0') {
        return "the log shows " + other;
    }
    return Format(
        "an Image-class device's installation logs \"ERROR: Section %s not found !\", "
        "any other run %s",
        name, other.c_str());
}

// The install section as the model line names it, when name carries the
// decoration the device installer adds for a processor; empty otherwise.
std::string Undecorated(const char* name) {
    size_t length = strlen(name);
    for (const char* decoration : kDecorations) {
        size_t tail = strlen(decoration);
        if (length > tail && strcasecmp(name + length - tail, decoration) == 0) {
            return std::string(name, length - tail);
        }
    }
    return std::string();
}

// A line that another kind of INI file would take for a comment: the
// profile functions leave out only lines that begin with ';'.
bool LooksLikeComment(const std::string& text) {
    return text[0] == '#' || text.compare(0, 2, "//") == 0;
}

void CheckSetupSection(Checker* checker, const char* name) {
    checker->Say(name[0] == '\0'
                     ? std::string("[] (the lines above the first section header, which an "
                                   "empty section name reads)")
                     : Format("[%s]", name));
    const ProfileSection* section = FindSection(checker->file, name);
    std::string undecorated = Undecorated(name);
    if (!undecorated.empty() && FindSection(checker->file, undecorated.c_str()) == nullptr &&
        CallsCoInstallers(checker->version)) {
        checker->Warn(
            Format("[%s] carries the decoration that the device installer adds for the "
                   "processor; the co-installer asks for the install section as the "
                   "model line names it, so a model line naming %s reads [%s], which is "
                   "not in the file: %s",
                   name, undecorated.c_str(), undecorated.c_str(),
                   MissingSectionLogLines(*checker, undecorated.c_str()).c_str()));
    }
    // "[]" headers are named once for the whole file (CheckProfile).
    for (const ProfileSection& other : checker->file.sections) {
        if (&other != section && section != nullptr && name[0] != '\0' &&
            SameProfileName(other.name, name)) {
            checker->Warn(Format("line %d: [%s] again; only the first one (line %d) is read",
                                 other.line, other.name.c_str(), section->line));
        }
    }
    // Comment lines (';') never reach the interpreter: the read leaves them
    // out. A line written as a comment of another kind of INI file does, and
    // is run (a comma in it even gives it a code).
    if (section != nullptr) {
        for (const ProfileEntry* entry : ReturnedEntries(*section)) {
            std::string text = EntryText(*entry);
            if (LooksLikeComment(text)) {
                checker->Warn(
                    Format("line %d: \"%s\" is no comment to the profile functions, which "
                           "leave out only lines that begin with ';': the line is run as a "
                           "setup action",
                           entry->line, text.c_str()));
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
        checker->Warn(Format("[%s] %s: %s", name,
                             section == nullptr ? "is not in the file" : "has no lines to run",
                             MissingSectionLogLines(*checker, name).c_str()));
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
            CheckSetupLine(checker, name, *entries[index++], std::string(text, length),
                           &installMonitor, &declinedAt);
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
        checker->Say(std::string("bandwidth monitor: installed (the service ZKUSBSta; added to "
                                 "the Image and MEDIA class lower filters if ") +
                     checker->systemDirectory +
                     "\\drivers\\ZKUSBSta.sys is there, else a WARNING line)");
    } else {
        checker->Say(Format("bandwidth monitor: not installed (line %d)", declinedAt));
    }
    if (CallsCoInstallers(checker->version) && name[0] != '\0') {
        CheckWebUpdateSwitches(checker, name);
    }
}

// What the file as a whole tells before its sections: how it is read.
void CheckEncoding(Checker* checker) {
    const ProfileFile& file = checker->file;
    switch (file.encoding) {
        case TextEncoding::Ansi:
            break;
        case TextEncoding::Utf16Le:
            checker->Say("text: UTF-16LE (byte-order mark), read in the ANSI code page");
            break;
        case TextEncoding::Utf16Be:
            checker->Warn(
                "the file is UTF-16 big-endian (it begins with FE FF), which Windows' profile "
                "functions do not read: the co-installer finds no section in it (Wine reads it); "
                "save it as ANSI or as UTF-16LE with its byte-order mark");
            break;
        case TextEncoding::Utf8: {
            std::string header;
            if (!file.markedHeader.empty()) {
                header = Format(
                    ": line %d, %s, is no section header then, and its lines belong to "
                    "no section",
                    file.markedHeaderLine, file.markedHeader.c_str());
            }
            checker->Warn(Format(
                "the file begins with a UTF-8 byte-order mark, which Windows' profile functions "
                "take for three ANSI characters of the first line (Wine skips it)%s; every "
                "non-ASCII character is read as two or more ANSI characters; save the file as "
                "ANSI or as UTF-16LE with its byte-order mark",
                header.c_str()));
            break;
        }
    }
    for (int line : file.lossyLines) {
        checker->Warn(
            Format("line %d holds characters that the ANSI code page lacks (the checker "
                   "assumes 1252, Western): the co-installer reads \"?\" in their "
                   "place, or a similar letter",
                   line));
    }
}

// Whether the lines above the first header are worth a section of their own
// in the report: a read returns some, and they are not the lines of a header
// that a UTF-8 mark hid (named on its own).
bool LeadingLinesCount(const ProfileFile& file) {
    return file.markedHeader.empty() && !ReturnedEntries(file.leading).empty();
}

// The lines above the first header, which only an empty section name reads,
// and "[]" headers, which no read reaches.
void CheckUnnamedSections(Checker* checker) {
    const ProfileFile& file = checker->file;
    if (LeadingLinesCount(file)) {
        std::vector<const ProfileEntry*> leading = ReturnedEntries(file.leading);
        checker->Warn(
            Format("line %d: the lines above the first section header run only when "
                   "rundll32 zkcoinst.dll,SetupEntryPoint is given no section name; put "
                   "them under a header (--section \"\" shows what they do)",
                   leading.front()->line));
    }
    for (const ProfileSection& section : file.sections) {
        if (section.name.c_str()[0] == '\0') {
            checker->Warn(
                Format("line %d: [] is never read: an empty section name reads the lines "
                       "above the first section header instead",
                       section.line));
        }
    }
}

}  // namespace

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
    Directories directories = ResolveDirectories(options);
    // Windows 98 and NT 4.0 read no UTF-16 profile file: nothing of it is seen there.
    ProfileFile unread;
    unread.encoding = file.encoding;
    const ProfileFile& seen =
        file.encoding == TextEncoding::Utf16Le && !CallsCoInstallers(version) ? unread : file;
    Checker checker{seen, version, directories.windows.c_str(), directories.system.c_str(),
                    CheckReport()};
    checker.Say(Format("%s on %s (%u.%u), Windows directory %s, system directory %s",
                       options.fileName != nullptr ? options.fileName : "zkcoinst.ini",
                       version.label, version.major, version.minor, checker.windowsDirectory,
                       checker.systemDirectory));
    CheckEncoding(&checker);
    if (&seen != &file) {
        checker.Warn(
            Format("%s does not read UTF-16 profile files: no section of this file is "
                   "found there",
                   version.label));
    }
    if (!CallsCoInstallers(version)) {
        checker.Say(
            Format("%s does not call co-installers: only rundll32 "
                   "zkcoinst.dll,SetupEntryPoint <section> runs a section, and no "
                   "web-update or companion program starts",
                   version.label));
    }
    CheckSwitchSectionNames(&checker);
    CheckUnnamedSections(&checker);
    if (options.section != nullptr) {
        checker.Say("");
        CheckSetupSection(&checker, options.section);
    } else {
        // The lines above the first header, when a read returns any, are a
        // section of SetupEntryPoint's.
        if (LeadingLinesCount(seen)) {
            checker.Say("");
            CheckSetupSection(&checker, "");
        }
        int checked = 0;
        for (const ProfileSection& section : seen.sections) {
            // A name that came before is read from its first section only.
            if (IsSwitchSectionName(section.name) ||
                FindSection(seen, section.name.c_str()) != &section) {
                continue;
            }
            checker.Say("");
            CheckSetupSection(&checker, section.name.c_str());
            ++checked;
        }
        if (checked == 0) {
            const char kInstallSection[] = "<install section>";
            checker.Say("");
            checker.Say("no setup-action sections");
            checker.Warn(
                Format("the file has no setup-action section: %s; the bandwidth monitor "
                       "is installed",
                       MissingSectionLogLines(checker, kInstallSection).c_str()));
            if (CallsCoInstallers(version)) {
                CheckWebUpdateSwitches(&checker, kInstallSection);
            }
        }
    }
    return checker.report;
}

}  // namespace zk::inicheck
