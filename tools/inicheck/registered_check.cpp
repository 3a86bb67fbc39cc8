#include "registered_check.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "common/leading_int.h"
#include "core/path_template_core.h"
#include "launch/registered_apps_core.h"

namespace zk::inicheck {

const char kRegisteredAppsKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvanto\\ZKCoInstaller";

namespace {

const char kUserProfile[] = "<user profile>";
// RegQueryValueExA of "Name" into 260 bytes.
const size_t kNameCapacity = 260;
const size_t kCommandLineCapacity = 260;

// A shell folder of a default installation; nullptr names one without a path
// (a virtual folder such as the Recycle Bin), on which the expansion fails.
struct ShellFolder {
    int csidl;
    const char* name;
};

const ShellFolder kShellFolders[] = {
    {0, "the Desktop"},
    {1, "Internet"},
    {2, "Programs"},
    {3, "the Control Panel"},
    {4, "Printers"},
    {5, "My Documents"},
    {7, "Startup"},
    {10, "the Recycle Bin"},
    {11, "the Start Menu"},
    {16, "the Desktop folder"},
    {17, "My Computer"},
    {18, "the Network"},
    {20, "Fonts"},
    {25, "the common Desktop"},
    {26, "Application Data"},
    {28, "local Application Data"},
    {35, "common Application Data"},
    {36, "the Windows directory"},
    {37, "the system directory"},
    {38, "Program Files"},
    {43, "Common Files"},
    {46, "common Documents"},
};

// The path of a known folder on the version, or empty for a virtual one.
std::string ShellFolderPath(int csidl, const WindowsVersion& version,
                            const Directories& directories) {
    bool vista = IsVistaOrLater(version);
    std::string user = std::string(kUserProfile);
    std::string allUsers = std::string(version.profiles) + "\\All Users";
    std::string roaming = user + (vista ? "\\AppData\\Roaming" : "\\Application Data");
    std::string startMenu =
        vista ? roaming + "\\Microsoft\\Windows\\Start Menu" : user + "\\Start Menu";
    switch (csidl) {
        case 0:
        case 16:
            return user + "\\Desktop";
        case 2:
            return startMenu + "\\Programs";
        case 5:
            return user + (vista ? "\\Documents" : "\\My Documents");
        case 7:
            return startMenu + "\\Programs\\Startup";
        case 11:
            return startMenu;
        case 20:
            return directories.windows + "\\Fonts";
        case 25:
            return vista ? "C:\\Users\\Public\\Desktop" : allUsers + "\\Desktop";
        case 26:
            return roaming;
        case 28:
            return user + (vista ? "\\AppData\\Local" : "\\Local Settings\\Application Data");
        case 35:
            return vista ? "C:\\ProgramData" : allUsers + "\\Application Data";
        case 36:
            return directories.windows;
        case 37:
            return directories.system;
        case 38:
            return "C:\\Program Files";
        case 43:
            return "C:\\Program Files\\Common Files";
        case 46:
            return vista ? "C:\\Users\\Public\\Documents" : allUsers + "\\Documents";
        default:
            return std::string();
    }
}

const char* ShellFolderName(int csidl) {
    for (const ShellFolder& folder : kShellFolders) {
        if (folder.csidl == csidl) {
            return folder.name;
        }
    }
    return nullptr;
}

// The machine the templates expand on: the version's default folders, and
// the maker folder ("Marvshrd") under any text that can be a folder path.
// The path template functions take plain function pointers, so the machine
// of the expansion in progress is reached through this pointer.
struct CheckedMachine {
    const WindowsVersion* version;
    const Directories* directories;
    std::vector<std::string> probes;  // maker-folder paths looked for
    std::vector<int> missingFolders;  // CSIDLs without a path
};
CheckedMachine* machine = nullptr;

void* MachineAlloc(uint32_t size) {
    return malloc(size == 0 ? 1 : size);
}

void MachineFree(void* block) {
    free(block);
}

// A path a folder can have: a drive or a UNC name in front, none of the
// characters a file name cannot hold.
bool CanBeFolderPath(const std::string& path) {
    bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
                 ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    bool unc = path.compare(0, 2, "\\\\") == 0;
    return (drive || unc) && path.find_first_of("\"<>|*?") == std::string::npos &&
           path.find(':', 2) == std::string::npos;
}

uint32_t MachineAttributes(const char* path) {
    std::string probe = path;
    machine->probes.push_back(probe);
    bool shared = probe.size() >= 8 && probe.compare(probe.size() - 8, 8, "Marvshrd") == 0;
    return shared && CanBeFolderPath(probe) ? kDirectoryAttribute : kNoFileAttributes;
}

bool MachineFolder(int csidl, char* path) {
    std::string folder = ShellFolderPath(csidl, *machine->version, *machine->directories);
    if (folder.empty() || folder.size() >= kTemplatePathCapacity) {
        machine->missingFolders.push_back(csidl);
        return false;
    }
    memcpy(path, folder.c_str(), folder.size() + 1);
    return true;
}

const PathTemplatePlatform kMachine = {MachineAlloc, MachineFree, MachineAttributes, MachineFolder};

struct EntryCheck {
    CheckReport* report;
    const WindowsVersion& version;
    const Directories& directories;
    const std::string& name;
    std::vector<std::string> makerFolders;  // where the templates found %L%
};

void EntryWarn(const EntryCheck& check, int line, const std::string& text) {
    Warn(check.report, Format("line %d: [%s] %s", line, check.name.c_str(), text.c_str()));
}

// The text a value's data gives: up to its first NUL.
std::string TextOf(const RegValue& value) {
    return std::string(value.data.c_str());
}

// The template as the expansion reads it: literal text as it is, each
// variable between a pair of '%'.
std::string ReadTemplate(const std::string& text, std::vector<std::string>* variables) {
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    bool variable = text[0] == '%';
    std::string read;
    char* context = nullptr;
    for (char* token = NextTemplateToken(copy.data(), &context); token != nullptr;
         token = NextTemplateToken(nullptr, &context), variable = !variable) {
        if (variable) {
            read += std::string("%") + token + "%";
            variables->push_back(token);
        } else {
            read += token;
        }
    }
    return read;
}

// "%<token>%" warnings of a template: '%' characters that the expansion
// drops, and tokens that do not name what they seem to. True when the
// template reads as written.
bool CheckTemplateTokens(const EntryCheck& check, const RegValue& value) {
    std::string text = TextOf(value);
    std::vector<std::string> variables;
    std::string read = ReadTemplate(text, &variables);
    if (read != text) {
        EntryWarn(check, value.line,
                  Format("%s \"%s\": a '%%' cannot be meant literally: each run of '%%' only "
                         "separates a variable from text, and none is kept, so it reads as "
                         "\"%s\"",
                         value.name.c_str(), text.c_str(), read.c_str()));
        return false;
    }
    for (const std::string& variable : variables) {
        const char* token = variable.c_str();
        if (IsMakerFolderToken(token)) {
            continue;
        }
        const char* digits = token;
        while (*digits == ' ' || *digits == '\t' || *digits == '+' || *digits == '-') {
            ++digits;
        }
        const char* end = digits;
        while (*end >= '0' && *end <= '9') {
            ++end;
        }
        if (end == digits) {
            EntryWarn(check, value.line,
                      Format("%s: \"%%%s%%\" has no leading digits, so it names CSIDL 0, the "
                             "Desktop (%s\\Desktop); environment variables are not expanded, and "
                             "a shell folder is named by its CSIDL number (%%38%% Program Files, "
                             "%%43%% Common Files)",
                             value.name.c_str(), token, kUserProfile));
        } else if (*end != '\0') {
            EntryWarn(check, value.line,
                      Format("%s: only the leading number of \"%%%s%%\" counts (CSIDL %d)",
                             value.name.c_str(), token, CsidlFromToken(token)));
        }
    }
    return true;
}

// Expands a template as the co-installer does on the checked machine. False,
// with the warning given, when it does not expand. *wellFormed: every '%'
// of it pairs up around a variable.
bool ExpandValue(EntryCheck* entry, const RegValue& value, std::string* expanded,
                 bool* wellFormed) {
    const EntryCheck& check = *entry;
    *wellFormed = CheckTemplateTokens(check, value);
    std::string text = TextOf(value);
    CheckedMachine expansion{&check.version, &check.directories, {}, {}};
    machine = &expansion;
    char* buffer = static_cast<char*>(MachineAlloc(static_cast<uint32_t>(text.size() + 1)));
    memcpy(buffer, text.c_str(), text.size() + 1);
    char* result = ExpandPathTemplateWith(kMachine, buffer);
    machine = nullptr;
    if (result != nullptr) {
        *expanded = result;
        MachineFree(result);
        for (const std::string& probe : expansion.probes) {
            if (std::find(entry->makerFolders.begin(), entry->makerFolders.end(), probe) ==
                entry->makerFolders.end()) {
                entry->makerFolders.push_back(probe);
            }
        }
        return true;
    }
    std::string why;
    if (!expansion.missingFolders.empty()) {
        int csidl = expansion.missingFolders.back();
        const char* known = ShellFolderName(csidl);
        why = known != nullptr
                  ? Format("CSIDL %d, %s, is a folder without a path", csidl, known)
                  : Format(
                        "CSIDL %d is no shell folder the checker knows (if it has no path "
                        "there)",
                        csidl);
    } else if (!expansion.probes.empty()) {
        const std::string& probe = expansion.probes.front();
        why = Format(
            "the maker folder is looked for in \"%.*s\", which is no folder path "
            "(%%L%% follows the folder that opens the text, after at most a double "
            "quote)",
            static_cast<int>(probe.size() - 8), probe.c_str());
    } else {
        why = "%L% has no folder in front of it to be looked for in";
    }
    EntryWarn(check, value.line,
              Format("%s \"%s\" does not expand: %s; the entry is skipped without a log line",
                     value.name.c_str(), text.c_str(), why.c_str()));
    return false;
}

// Paths with blanks that a template puts outside double quotes reach the
// program split at their blanks.
void CheckParameterQuoting(const EntryCheck& check, const RegValue& value) {
    std::string text = TextOf(value);
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    bool variable = text[0] == '%';
    std::string built;
    char* context = nullptr;
    CheckedMachine expansion{&check.version, &check.directories, {}, {}};
    machine = &expansion;
    for (char* token = NextTemplateToken(copy.data(), &context); token != nullptr;
         token = NextTemplateToken(nullptr, &context), variable = !variable) {
        if (!variable) {
            built += token;
            continue;
        }
        char folder[kTemplatePathCapacity] = {};
        std::string resolved = IsMakerFolderToken(token)                      ? "Marvshrd"
                               : MachineFolder(CsidlFromToken(token), folder) ? std::string(folder)
                                                                              : std::string();
        bool quoted = std::count(built.begin(), built.end(), '"') % 2 == 1;
        if (resolved.find(' ') != std::string::npos && !quoted) {
            EntryWarn(check, value.line,
                      Format("Parameters puts %%%s%% (%s) outside double quotes: the program "
                             "receives the path split at its blanks; quote it, as "
                             "\"\\\"%%%s%%\\\\...\\\"\" in the .reg file",
                             token, resolved.c_str(), token));
            break;
        }
        built += resolved;
    }
    machine = nullptr;
}

// A PreInstall or PostInstall flag as the co-installer reads it: 4 bytes of
// whatever is stored; missing, or longer than 4 bytes, is 0.
uint32_t ReadFlag(const EntryCheck& check, const RegKey& key, const char* name) {
    const RegValue* value = FindRegValue(key, name);
    if (value == nullptr) {
        return 0;
    }
    uint32_t flag = 0;
    if (value->data.size() <= 4) {
        for (size_t i = 0; i < value->data.size(); ++i) {
            flag |= static_cast<uint32_t>(static_cast<unsigned char>(value->data[i])) << (8 * i);
        }
    }
    if (IsRegStringType(value->type)) {
        std::string text = TextOf(*value);
        std::string advice;
        if (text.find_first_of("0123456789") != std::string::npos) {
            advice = Format("; write \"%s\"=dword:%08x", name,
                            static_cast<unsigned>(ParseLeadingInt(text.c_str())));
        }
        std::string reading =
            value->data.size() <= 4
                ? Format("reads its bytes as the number 0x%08x, so the flag is %s", flag,
                         flag != 0 ? "on" : "off")
                : Format("reads nothing from its %u bytes (more than 4), so the flag is off",
                         static_cast<unsigned>(value->data.size()));
        EntryWarn(check, value->line,
                  Format("%s is the text \"%s\" (%s), not a dword: the co-installer %s%s", name,
                         text.c_str(), RegTypeName(value->type).c_str(), reading.c_str(),
                         advice.c_str()));
    } else if (value->data.size() > 4) {
        EntryWarn(check, value->line,
                  Format("%s is %u bytes of %s: only a value of at most 4 bytes is read, so the "
                         "flag is off",
                         name, static_cast<unsigned>(value->data.size()),
                         RegTypeName(value->type).c_str()));
    }
    return flag;
}

// A value that must be there; its absence skips the entry.
const RegValue* RequiredValue(const EntryCheck& check, const RegKey& key, const char* name,
                              bool emptyIsMissing) {
    const RegValue* value = FindRegValue(key, name);
    if (value == nullptr || (emptyIsMissing && value->data.empty())) {
        EntryWarn(check, value == nullptr ? key.line : value->line,
                  Format("has no %s value%s: the entry is skipped without a log line", name,
                         value == nullptr ? "" : " (a value of zero bytes counts as none)"));
        return nullptr;
    }
    if (!IsRegStringType(value->type)) {
        EntryWarn(check, value->line,
                  Format("%s is %s, not text: its bytes are used as text all the same", name,
                         RegTypeName(value->type).c_str()));
    } else if (value->type == kRegMultiSz && value->data.find('\0') + 1 < value->data.size() &&
               value->data[value->data.find('\0') + 1] != '\0') {
        EntryWarn(check, value->line,
                  Format("%s is a list (REG_MULTI_SZ): only its first string, \"%s\", is used",
                         name, value->data.c_str()));
    }
    return value;
}

void DescribeDevices(const EntryCheck& check, const RegKey& key, const char* hardwareId) {
    std::string lower = check.name;
    LowerAscii(&lower[0], lower.size());
    std::string devices;
    bool matchesSome = true;
    if (lower.find("valueadd") != std::string::npos ||
        lower.find("viduruvir") != std::string::npos) {
        devices = Format("every device (its name holds \"%s\")",
                         lower.find("valueadd") != std::string::npos ? "valueadd" : "viduruvir");
    } else if (lower.find("pid_") != std::string::npos && lower.find("mi_") != std::string::npos) {
        devices = Format("devices whose first hardware ID holds \"%s\" and \"%s\" (in any case)",
                         lower.substr(lower.find("pid_"), 8).c_str(),
                         lower.substr(lower.find("mi_"), 5).c_str());
    } else {
        devices = "no device";
        matchesSome = false;
    }
    if (hardwareId != nullptr) {
        std::vector<char> name(check.name.begin(), check.name.end());
        name.push_back('\0');
        std::vector<char> id(hardwareId, hardwareId + strlen(hardwareId) + 1);
        bool applies = RegisteredAppApplies(name.data(), name.size(), id.data(), id.size());
        devices += Format("; %s %s", hardwareId, applies ? "is one" : "is not");
    }
    Say(check.report, "applies to: " + devices);
    if (!matchesSome) {
        EntryWarn(check, key.line,
                  "matches no device: a name without \"valueadd\" or \"viduruvir\" must hold "
                  "\"pid_\" and \"mi_\" (as in \"Camera pid_2c6a&mi_00\"); the entry never "
                  "starts");
    }
}

void CheckEntry(CheckReport* report, const RegKey& key, const std::string& name,
                const CheckOptions& options, const Directories& directories) {
    const WindowsVersion& version = *options.version;
    EntryCheck check{report, version, directories, name, {}};
    Say(report, "");
    Say(report, Format("[%s] (line %d)", name.c_str(), key.line));
    DescribeDevices(check, key, options.hardwareId);

    // The flags' warnings follow the phases they decide.
    CheckReport flagWarnings;
    EntryCheck flagCheck{&flagWarnings, version, directories, name, {}};
    uint32_t pre = ReadFlag(flagCheck, key, "PreInstall");
    uint32_t post = ReadFlag(flagCheck, key, "PostInstall");
    const char* postStep = IsVistaOrLater(version)
                               ? "the finish-install action when one is requested, else "
                                 "DIF_INSTALLDEVICE post-processing"
                               : "DIF_INSTALLDEVICE post-processing";
    std::string phases;
    if (pre != 0) {
        phases = "pre-install (DIF_INSTALLDEVICE pre-processing)";
    }
    if (post != 0) {
        phases += std::string(phases.empty() ? "" : " and ") + "post-install (" + postStep + ")";
    }
    Say(report, "phases: " + (phases.empty() ? std::string("none") : phases));
    report->text += flagWarnings.text;
    report->warnings += flagWarnings.warnings;
    if (phases.empty()) {
        EntryWarn(check, key.line,
                  "has neither PreInstall nor PostInstall non-zero: the entry never starts");
    }

    const RegValue* path = RequiredValue(check, key, "Path", true);
    const RegValue* fileName = RequiredValue(check, key, "Name", false);
    const RegValue* parameters = RequiredValue(check, key, "Parameters", true);
    if (fileName != nullptr && fileName->data.size() > kNameCapacity) {
        EntryWarn(check, fileName->line,
                  Format("Name is longer than %u characters: the entry is skipped without a log "
                         "line",
                         static_cast<unsigned>(kNameCapacity - 1)));
        fileName = nullptr;
    }
    std::string folder;
    std::string arguments;
    bool wellFormed = true;
    bool expanded = path != nullptr && ExpandValue(&check, *path, &folder, &wellFormed);
    if (parameters != nullptr && ExpandValue(&check, *parameters, &arguments, &wellFormed)) {
        if (wellFormed) {
            CheckParameterQuoting(check, *parameters);
        }
    } else {
        expanded = false;
    }
    for (const std::string& probe : check.makerFolders) {
        // The co-installer takes Marvshrd there, else a plain Marvanto.
        Say(report, Format("maker folder (%%L%%): %s, else a plain %.*sMarvanto", probe.c_str(),
                           static_cast<int>(probe.size() - 8), probe.c_str()));
    }
    if (!expanded || fileName == nullptr) {
        Say(report, "starts: nothing");
        return;
    }
    std::string program = TextOf(*fileName);
    for (const RegValue* value : {path, fileName}) {
        if (TextOf(*value).find('"') != std::string::npos) {
            EntryWarn(check, value->line,
                      Format("%s holds a double quote: the program path is put in quotes, so "
                             "the command line names another program",
                             value->name.c_str()));
        }
    }
    if (folder.empty()) {
        EntryWarn(check, path->line,
                  Format("Path is empty: the program is looked for as \\%s, at the root of the "
                         "installer's current drive",
                         program.c_str()));
    }
    std::vector<char> programPath(folder.size() + program.size() + 10);
    BuildRegisteredProgramPath(programPath.data(), programPath.size(), folder.c_str(),
                               program.c_str());
    char commandLine[kCommandLineCapacity];
    if (!FormatRegisteredCommandLine(commandLine, sizeof(commandLine), programPath.data(),
                                     arguments.c_str())) {
        Say(report, "starts: nothing (command line too long)");
        EntryWarn(check, key.line,
                  Format("the command line is longer than %u characters: the log shows "
                         "\"WARNING: Unable to launch ...\" and nothing starts",
                         static_cast<unsigned>(kCommandLineCapacity - 1)));
        return;
    }
    Say(report, std::string("starts: ") + commandLine);
}

// Whether lowerNeedle (lower case) occurs in text in any case.
bool ContainsIgnoringCase(std::string text, const char* lowerNeedle) {
    LowerAscii(&text[0], text.size());
    return text.find(lowerNeedle) != std::string::npos;
}

bool StartsWithKey(const std::string& path, const std::string& key) {
    return path.size() >= key.size() && strncasecmp(path.c_str(), key.c_str(), key.size()) == 0 &&
           (path.size() == key.size() || path[key.size()] == '\\');
}

}  // namespace

CheckReport CheckRegisteredPrograms(const RegFile& file, const CheckOptions& options) {
    const WindowsVersion& version = *options.version;
    Directories directories = ResolveDirectories(options);
    CheckReport report;
    Say(&report, Format("%s (%s, %s) on %s (%u.%u)",
                        options.registeredFile != nullptr ? options.registeredFile : "registry",
                        file.version5 ? "version 5.00" : "REGEDIT4",
                        file.encoding == TextEncoding::Utf16Le ? "UTF-16LE"
                        : file.encoding == TextEncoding::Utf8  ? "UTF-8"
                                                               : "ANSI",
                        version.label, version.major, version.minor));
    if (file.encoding == TextEncoding::Utf8) {
        Warn(&report,
             "the file is UTF-8: regedit exports UTF-16LE (version 5.00) or ANSI (REGEDIT4), "
             "and not every Windows version's regedit reads UTF-8");
    }
    for (const RegProblem& problem : file.problems) {
        Warn(&report, Format("line %d: regedit does not import this line: %s", problem.line,
                             problem.text.c_str()));
    }
    for (int line : file.lossyLines) {
        Warn(&report, Format("line %d holds characters that the ANSI code page lacks (the checker "
                             "assumes 1252, Western): the co-installer reads \"?\" in their "
                             "place, or a similar letter",
                             line));
    }

    const std::string appsKey = kRegisteredAppsKey;
    std::vector<std::pair<std::string, const RegKey*>> entries;
    for (const RegKey& key : file.keys) {
        if (strcasecmp(key.path.c_str(), appsKey.c_str()) == 0) {
            if (!key.values.empty()) {
                Warn(&report, Format("line %d: values of [%s] itself are not read: each program "
                                     "is a subkey",
                                     key.line, key.path.c_str()));
            }
        } else if (StartsWithKey(key.path, appsKey)) {
            std::string name = key.path.substr(appsKey.size() + 1);
            if (name.find('\\') != std::string::npos) {
                Warn(&report, Format("line %d: [%s] is not read: only the subkeys right under %s "
                                     "are programs",
                                     key.line, key.path.c_str(), kRegisteredAppsKey));
            } else {
                entries.emplace_back(name, &key);
            }
        } else if (StartsWithKey(appsKey, key.path)) {
            continue;  // a key above the companion-program key
        } else if (ContainsIgnoringCase(key.path, "zkcoinstaller")) {
            Warn(&report, Format("line %d: [%s] is not under %s: the co-installer does not read it",
                                 key.line, key.path.c_str(), kRegisteredAppsKey));
        } else {
            Say(&report, Format("line %d: [%s] is not the companion-program key; not checked",
                                key.line, key.path.c_str()));
        }
    }
    if (!CallsCoInstallers(version)) {
        Say(&report, Format("%s does not call co-installers, and SetupEntryPoint starts no "
                            "companion program: no entry starts",
                            version.label));
        return report;
    }
    // The registry hands subkeys out in the order of their names.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return strcasecmp(a.first.c_str(), b.first.c_str()) < 0;
    });
    for (const auto& entry : entries) {
        CheckEntry(&report, *entry.second, entry.first, options, directories);
    }
    if (entries.empty()) {
        Say(&report, "");
        Say(&report, Format("no entries under %s", kRegisteredAppsKey));
    }
    return report;
}

}  // namespace zk::inicheck
