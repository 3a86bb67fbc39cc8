// The web-update switches, NoFNW and the finish-install decision, as the
// co-installer reads them (launch/web_update_core.h).
#include <cstring>
#include <strings.h>

#include "ini_checker.h"
#include "launch/web_update_core.h"
#include "setupactions/setup_line.h"

namespace zk::inicheck {

const char kNoFnwKey[] = "NoFNW";

namespace {

const char* const kSwitchClasses[] = {"Audio", "Video"};
const char kDevTypePrefix[] = "KESTR.DevType";
const char kKestrMarker[] = ".KESTR";

// The version whose search for installSection asks for the versioned section
// name, or nullptr when only unversioned searches, or none, ask for it.
const WindowsVersion* VersionAskingFor(const std::string& name, const char* installSection) {
    size_t count = 0;
    const WindowsVersion* versions = WindowsVersions(&count);
    for (size_t i = 0; i < count; ++i) {
        if (!CallsCoInstallers(versions[i])) {
            continue;
        }
        KestrSectionSearch search;
        BuildKestrSectionSearch(installSection, true, versions[i].major, versions[i].minor,
                                &search);
        KestrSectionSearch unversioned;
        BuildKestrSectionSearch(installSection, false, 0, 0, &unversioned);
        for (int n = 0; n < search.count; ++n) {
            bool alsoUnversioned = false;
            for (int u = 0; u < unversioned.count; ++u) {
                alsoUnversioned =
                    alsoUnversioned || strcmp(search.names[n], unversioned.names[u]) == 0;
            }
            if (!alsoUnversioned && SameProfileName(name, search.names[n])) {
                return &versions[i];
            }
        }
    }
    return nullptr;
}

// ".<major>.<minor>" in decimal digits (leading zeros allowed): the numbers.
bool ParseVersionTail(const std::string& tail, unsigned* major, unsigned* minor) {
    unsigned* parts[2] = {major, minor};
    size_t at = 0;
    for (unsigned* part : parts) {
        if (at >= tail.size() || tail[at] != '.') {
            return false;
        }
        size_t start = ++at;
        *part = 0;
        while (at < tail.size() && tail[at] >= '0' && tail[at] <= '9') {
            // Nine digits are plenty for a version; more would not fit.
            if (at - start >= 9) {
                return false;
            }
            *part = *part * 10 + static_cast<unsigned>(tail[at] - '0');
            ++at;
        }
        if (at == start) {
            return false;
        }
    }
    return at == tail.size();
}

// What the switch search answers for one class.
struct SwitchAnswer {
    const char* className;
    KestrSectionSearch search;
    const char* selected = nullptr;  // the section that answered, or none
    char value[kSwitchValueSize] = {};
    bool on = false;
};

SwitchAnswer AskSwitch(const Checker& checker, const char* installSection, const char* className) {
    SwitchAnswer answer;
    answer.className = className;
    BuildKestrSectionSearch(installSection, true, checker.version.major, checker.version.minor,
                            &answer.search);
    for (int i = 0; i < answer.search.count && answer.selected == nullptr; ++i) {
        // A key present with an empty value counts as absent.
        if (ReadProfileString(checker.file, answer.search.names[i], className, answer.value,
                              sizeof(answer.value)) > 0) {
            answer.selected = answer.search.names[i];
        }
    }
    answer.on = answer.selected != nullptr && IsSwitchValueOn(answer.value);
    return answer;
}

// Switch sections of other versions that say otherwise than this version's answer.
void WarnAboutOtherVersions(Checker* checker, const char* installSection,
                            const SwitchAnswer& answer) {
    const WindowsVersion& version = checker->version;
    for (const ProfileSection& section : checker->file.sections) {
        // A later section of a name already seen is never read on any version.
        if (FindSection(checker->file, section.name.c_str()) != &section) {
            continue;
        }
        const WindowsVersion* reader = VersionAskingFor(section.name, installSection);
        if (reader == nullptr || reader == &version) {
            continue;
        }
        // Read as the version it was written for would read it.
        char other[kSwitchValueSize] = {};
        if (ReadProfileString(checker->file, section.name.c_str(), answer.className, other,
                              sizeof(other)) == 0) {
            continue;
        }
        if (IsSwitchValueOn(other) == answer.on) {
            continue;
        }
        for (const ProfileEntry& entry : section.entries) {
            if (strcasecmp(entry.name.c_str(), answer.className) == 0) {
                checker->Warn(Format(
                    "line %d: [%s] %s=%s is never read on %s (%u.%u), where %s is %s", entry.line,
                    section.name.c_str(), answer.className, entry.value.c_str(), version.label,
                    version.major, version.minor, answer.className, answer.on ? "on" : "off"));
                break;
            }
        }
    }
}

// How often LaunchKestrForDeviceClass asks in one installation of a device of
// the class: before Vista once, when the set is destroyed after the
// finish-install page; from Vista on in post-processing, at the finish-install
// page, and in the finish-install action when one is requested.
int SwitchQuestionsPerInstallation(const WindowsVersion& version, bool finishInstallRequested) {
    if (!IsVistaOrLater(version)) {
        return 1;
    }
    return finishInstallRequested ? 3 : 2;
}

}  // namespace

void CheckWebUpdateSwitches(Checker* checker, const char* installSection) {
    const WindowsVersion& version = checker->version;
    SwitchAnswer probe = AskSwitch(*checker, installSection, kSwitchClasses[0]);
    if (probe.search.count < 4) {
        checker->Warn(
            Format("[%s]: the name is too long for its web-update switch sections; "
                   "only [KESTR.DevType] sections are read",
                   installSection));
    }
    char noFnwValue[kSwitchValueSize] = {};
    ReadProfileString(checker->file, installSection, kNoFnwKey, noFnwValue, sizeof(noFnwValue));
    bool noFnw = IsNoFNWValueSet(noFnwValue);
    bool vista = IsVistaOrLater(version);
    for (const char* className : kSwitchClasses) {
        SwitchAnswer answer = AskSwitch(*checker, installSection, className);
        bool requested = vista && (answer.on || !noFnw);
        if (answer.selected != nullptr) {
            checker->Say(Format("web update, %s: [%s] %s=%s -> %s", className, answer.selected,
                                className, answer.value, answer.on ? "on" : "off"));
        } else {
            std::string asked;
            for (int i = 0; i < answer.search.count; ++i) {
                asked += std::string(i == 0 ? "" : ", ") + "[" + answer.search.names[i] + "]";
            }
            checker->Say(Format("web update, %s: no section answers (asked %s) -> off", className,
                                asked.c_str()));
            // Expected for a package without web update; said, not warned.
            checker->Say(Format(
                "log, %s device: \"ERROR: LaunchKestrForDeviceClass> Device section not found "
                "in '%s\\zkcoinst.ini'.\" %s (expected without web update)",
                className, checker->systemDirectory,
                Times(SwitchQuestionsPerInstallation(version, requested)).c_str()));
        }
        if (vista) {
            const char* reason = answer.on ? "web update on"
                                 : noFnw   ? "NoFNW set, web update off"
                                           : "NoFNW not set";
            checker->Say(
                Format("finish-install action, %s device: %s (%s); post-install "
                       "programs start %s",
                       className, requested ? "requested" : "not requested", reason,
                       requested ? "in it"
                                 : "in post-processing, and nothing starts in a finish-install "
                                   "action that another installer requests"));
        }
        WarnAboutOtherVersions(checker, installSection, answer);
    }
}

void CheckSwitchSectionNames(Checker* checker) {
    size_t count = 0;
    const WindowsVersion* versions = WindowsVersions(&count);
    for (const ProfileSection& section : checker->file.sections) {
        const std::string& name = section.name;
        if (FindSection(checker->file, name.c_str()) != &section) {
            continue;
        }
        // The version part: after "KESTR.DevType", or after the last ".KESTR"
        // that ends the name or is followed by a '.'.
        size_t tailAt = std::string::npos;
        if (strncasecmp(name.c_str(), kDevTypePrefix, sizeof(kDevTypePrefix) - 1) == 0) {
            tailAt = sizeof(kDevTypePrefix) - 1;
        } else {
            for (size_t i = 0; i + sizeof(kKestrMarker) - 1 <= name.size(); ++i) {
                size_t end = i + sizeof(kKestrMarker) - 1;
                if (strncasecmp(name.c_str() + i, kKestrMarker, sizeof(kKestrMarker) - 1) == 0 &&
                    (end == name.size() || name[end] == '.')) {
                    tailAt = end;
                }
            }
        }
        if (tailAt == std::string::npos || tailAt == name.size()) {
            continue;
        }
        std::string tail = name.substr(tailAt);
        const WindowsVersion* asking = nullptr;
        const WindowsVersion* sameNumbers = nullptr;
        unsigned major = 0;
        unsigned minor = 0;
        bool numbers = ParseVersionTail(tail, &major, &minor);
        for (size_t i = 0; i < count; ++i) {
            if (Format(".%u.%u", versions[i].major, versions[i].minor) == tail &&
                CallsCoInstallers(versions[i])) {
                asking = &versions[i];
            }
            if (numbers && versions[i].major == major && versions[i].minor == minor) {
                sameNumbers = &versions[i];
            }
        }
        if (asking != nullptr) {
            continue;
        }
        std::string why;
        if (sameNumbers != nullptr && CallsCoInstallers(*sameNumbers)) {
            why = Format("%s asks for [%s.%u.%u] (the numbers without leading zeros)",
                         sameNumbers->label, name.substr(0, tailAt).c_str(), major, minor);
        } else if (sameNumbers != nullptr) {
            why = Format("%s does not call the co-installer", sameNumbers->label);
        } else if (numbers) {
            why = Format("no Windows version reports %u.%u", major, minor);
        } else {
            why = "a version is written .<major>.<minor>, as in [KESTR.DevType.5.1]";
        }
        checker->Warn(Format("line %d: [%s] is read on no Windows version: %s", section.line,
                             name.c_str(), why.c_str()));
    }
}

void DescribeNoFnwLine(Checker* checker, const char* section, const ProfileEntry& entry,
                       const std::string& prefix) {
    const ProfileSection* found = FindSection(checker->file, section);
    if (found == nullptr) {
        return;
    }
    const ProfileEntry* first = nullptr;
    for (const ProfileEntry& candidate : found->entries) {
        if (strcasecmp(candidate.name.c_str(), kNoFnwKey) == 0) {
            first = &candidate;
            break;
        }
    }
    const char* registration =
        "the interpreter also hands the line to registration, which "
        "registers nothing";
    if (first != &entry && first != nullptr) {
        checker->Say(prefix + "nothing: " + registration);
        checker->Warn(
            Format("line %d: a second NoFNW line is never read; the first one (line %d) "
                   "counts",
                   entry.line, first->line));
        return;
    }
    char value[kSwitchValueSize] = {};
    ReadProfileString(checker->file, section, kNoFnwKey, value, sizeof(value));
    bool set = IsNoFNWValueSet(value);
    checker->Say(prefix +
                 Format("the NoFNW switch, %s%s; %s", set ? "set" : "not set",
                        IsVistaOrLater(checker->version) ? "" : " (read on Vista and later)",
                        registration));
    if (!set) {
        checker->Warn(Format("line %d: NoFNW=%s does not read as 1, so NoFNW is not set",
                             entry.line, entry.value.c_str()));
    }
}

}  // namespace zk::inicheck
