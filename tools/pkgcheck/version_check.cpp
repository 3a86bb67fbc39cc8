#include "version_check.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "launch/device_identity_core.h"
#include "package_files.h"

namespace zk::pkgcheck {

namespace {

struct KnownClass {
    const char* name;
    const char* guid;
};

// The setup classes of Windows' own INFs that a camera or its parts may be
// filed under, and the others most often met.
const KnownClass kClasses[] = {
    {"Image", "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"},
    {"MEDIA", "{4D36E96C-E325-11CE-BFC1-08002BE10318}"},
    {"Camera", "{CA3E7AB9-B4C3-4AE6-8251-579EF933890F}"},
    {"USB", "{36FC9E60-C465-11CF-8056-444553540000}"},
    {"HIDClass", "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}"},
    {"Volume", "{71A27CDD-812A-11D0-BEC7-08002BE2092F}"},
    {"System", "{4D36E97D-E325-11CE-BFC1-08002BE10318}"},
    {"Net", "{4D36E972-E325-11CE-BFC1-08002BE10318}"},
    {"Ports", "{4D36E978-E325-11CE-BFC1-08002BE10318}"},
    {"DiskDrive", "{4D36E967-E325-11CE-BFC1-08002BE10318}"},
    {"Keyboard", "{4D36E96B-E325-11CE-BFC1-08002BE10318}"},
    {"Mouse", "{4D36E96F-E325-11CE-BFC1-08002BE10318}"},
    {"Display", "{4D36E968-E325-11CE-BFC1-08002BE10318}"},
    {"Printer", "{4D36E979-E325-11CE-BFC1-08002BE10318}"},
    {"Bluetooth", "{E0CBF06C-CD8B-4647-BB8A-263B43F0F974}"},
    {"Extension", "{E2F84CE7-8EFA-411C-AA69-97454CA4CB57}"},
    {"SoftwareComponent", "{5C4C3332-344D-483C-8739-259E934C9CC8}"},
};

const char* KnownClassName(const std::string& guid) {
    for (const KnownClass& known : kClasses) {
        if (strcasecmp(known.guid, guid.c_str()) == 0) {
            return known.name;
        }
    }
    return nullptr;
}

// What the co-installer does for devices of the class its GUID names.
std::string CoInstallerView(const std::string& guid) {
    const char* name = KnownClassName(guid);
    if (name != nullptr && strcmp(name, "Image") == 0) {
        return "the co-installer's Video devices (the Video web-update switch)";
    }
    if (name != nullptr && strcmp(name, "MEDIA") == 0) {
        return "the co-installer's Audio devices (the Audio web-update switch)";
    }
    return "a class the co-installer has no device kind for: no web-update switch is read for "
           "its devices";
}

bool ReadNumber(const std::string& text, size_t* at, size_t most, unsigned long* value) {
    size_t start = *at;
    *value = 0;
    while (*at < text.size() && *at - start < most && text[*at] >= '0' && text[*at] <= '9') {
        *value = *value * 10 + static_cast<unsigned long>(text[*at] - '0');
        ++*at;
    }
    return *at > start;
}

// A DriverVer date: mm/dd/yyyy, one or two digits for month and day.
bool IsDriverDate(const std::string& text) {
    size_t at = 0;
    unsigned long month = 0;
    unsigned long day = 0;
    unsigned long year = 0;
    return ReadNumber(text, &at, 2, &month) && at < text.size() && text[at++] == '/' &&
           ReadNumber(text, &at, 2, &day) && at < text.size() && text[at++] == '/' &&
           ReadNumber(text, &at, 4, &year) && at == text.size() && at >= 8 && month >= 1 &&
           month <= 12 && day >= 1 && day <= 31 && year >= 1980;
}

// The catalog line a processor's device installer uses: the decorated key
// first, then CatalogFile.NT, then CatalogFile.
const InfLine* CatalogLine(const InfSection& version, const char* decoration) {
    for (const std::string& key : {std::string("CatalogFile.") + decoration,
                                   std::string("CatalogFile.NT"), std::string("CatalogFile")}) {
        const InfLine* line = FindInfLine(version, key);
        if (line != nullptr) {
            return line;
        }
    }
    return nullptr;
}

void CheckClass(Checker* checker, const InfSection& version) {
    const InfLine* classLine = FindInfLine(version, "Class");
    const InfLine* guidLine = FindInfLine(version, "ClassGuid");
    std::string name = classLine != nullptr ? InfLineText(*classLine) : std::string();
    std::string guid = guidLine != nullptr ? InfLineText(*guidLine) : std::string();
    if (guidLine == nullptr) {
        checker->Warn(1, (classLine != nullptr ? At(*classLine) : std::string()) +
                             "[Version] has no ClassGuid: the device installer files a device "
                             "INF by its class GUID, and the co-installer tells Image (Video) "
                             "from MEDIA (Audio) devices by it");
        return;
    }
    std::string said =
        classLine != nullptr ? At(*classLine) + "Class=" + name + ", " : At(*guidLine);
    checker->Say(1, said + "ClassGuid=" + guid + ": " +
                        (KnownClassName(guid) != nullptr
                             ? std::string("the ") + KnownClassName(guid) + " class, "
                             : std::string()) +
                        CoInstallerView(guid));
    const char* expected = KnownClassGuid(name);
    const char* named = KnownClassName(guid);
    if (classLine == nullptr) {
        checker->Warn(1, At(*guidLine) + "[Version] has ClassGuid but no Class=" +
                             (named != nullptr ? std::string(named) : std::string("<name>")) +
                             ": a device INF names both");
    } else if (expected != nullptr && strcasecmp(expected, guid.c_str()) != 0) {
        checker->Warn(1, At(*classLine) + "Class=" + name + " is not the class of ClassGuid " +
                             guid + (named != nullptr ? " (" + std::string(named) + ")" : "") +
                             ": the " + name + " class is " + expected +
                             ", and the device installer files the device by the GUID");
    } else if (expected == nullptr && named != nullptr) {
        checker->Warn(1, At(*classLine) + "Class=" + name + " is not the name of ClassGuid " +
                             guid + ", the " + named + " class: write Class=" + named);
    }
}

void CheckDriverVer(Checker* checker, const InfSection& version) {
    const InfLine* line = FindInfLine(version, "DriverVer");
    if (line == nullptr) {
        checker->Warn(1,
                      "[Version] has no DriverVer: the device installer ranks the driver as "
                      "undated and of version 0, and the co-installer starts no web-update "
                      "program (its log: ERROR: KESTR> Failed to get version info size from "
                      "INF); write DriverVer=mm/dd/yyyy,a.b.c.d");
        return;
    }
    std::string text = InfLineText(*line);
    std::string problem = DriverVerProblem(text);
    checker->Say(1, At(*line) + "DriverVer=" + text);
    if (!problem.empty()) {
        checker->Warn(1, At(*line) + problem);
    }
}

void CheckCatalog(Checker* checker, const InfSection& version, bool servesX86, bool servesAmd64,
                  bool signedPackage) {
    struct Served {
        bool served;
        const char* name;
        const char* decoration;
    };
    const Served processors[] = {{servesX86, "x86", "NTx86"}, {servesAmd64, "amd64", "NTamd64"}};
    const InfLine* shown = nullptr;
    if ((servesX86 || servesAmd64) && CatalogLine(version, "NTx86") == nullptr &&
        CatalogLine(version, "NTamd64") == nullptr) {
        checker->Warn(1,
                      "[Version] has no CatalogFile=: the package cannot be signed, and 64-bit "
                      "Windows (and any Windows that checks signatures) installs no unsigned "
                      "driver; name the catalog that signing makes, CatalogFile=<name>.cat");
        return;
    }
    for (const Served& processor : processors) {
        if (!processor.served) {
            continue;
        }
        const InfLine* line = CatalogLine(version, processor.decoration);
        if (line == nullptr) {
            checker->Warn(1, std::string("[Version] names no catalog for ") + processor.name +
                                 " (CatalogFile=, CatalogFile.NT= or CatalogFile." +
                                 processor.decoration +
                                 "=): the package cannot be signed, and 64-bit Windows installs "
                                 "no unsigned driver");
            continue;
        }
        if (line == shown) {
            continue;  // one catalog for both processors
        }
        shown = line;
        std::string name = Field(*line, 0);
        std::string said = At(*line) + line->key + "=" + InfLineText(*line);
        std::string path;
        std::string where;
        if (name.find_first_of("\\/:") != std::string::npos) {
            checker->Say(1, said);
            checker->Warn(1, At(*line) + "the catalog " + name +
                                 " is named with a folder: CatalogFile takes a file name, the "
                                 "catalog beside the INF");
        } else if (FindPackageFile(checker->package.folder, name, &path, &where)) {
            checker->Say(1, said + ": " + where + " is in the package folder");
        } else if (signedPackage) {
            checker->Say(1, said);
            checker->Warn(1, At(*line) + name +
                                 " is not in the package folder: the package is not signed "
                                 "(--signed)");
        } else {
            checker->Say(1, said +
                                ": not in the package folder: not signed yet (the catalog "
                                "is made when the package is signed; --signed requires it)");
        }
    }
}

}  // namespace

const char* KnownClassGuid(const std::string& className) {
    for (const KnownClass& known : kClasses) {
        if (strcasecmp(known.name, className.c_str()) == 0) {
            return known.guid;
        }
    }
    return nullptr;
}

std::string DriverVerProblem(const std::string& text) {
    size_t comma = text.find(',');
    std::string date = text.substr(0, comma);
    while (!date.empty() && date.back() == ' ') {
        date.pop_back();
    }
    // The version as the co-installer reads it for the web-update program.
    DriverVersion version = {};
    const char* versionText = nullptr;
    DriverVerParse parse = ParseDriverVerText(text.c_str(), &version, &versionText);
    if (comma == std::string::npos && !IsDriverDate(date)) {
        return "DriverVer gives no date: the device installer reads mm/dd/yyyy before the "
               "comma and the version after it; write DriverVer=mm/dd/yyyy,a.b.c.d";
    }
    if (comma == std::string::npos || parse == DriverVerParse::kNoVersion) {
        return "DriverVer gives no version after its date: the co-installer starts no "
               "web-update program (its log: ERROR: KESTR> Failed to get INF version); write "
               "DriverVer=mm/dd/yyyy,a.b.c.d";
    }
    if (parse == DriverVerParse::kMalformed) {
        return std::string("the DriverVer version \"") + versionText +
               "\" is not four numbers separated by dots: the co-installer starts no web-update "
               "program (its log: ERROR: KESTR> Failed to retrieve version)";
    }
    for (int32_t part : version.parts) {
        if (part < 0 || part > 65535) {
            return std::string("the DriverVer version \"") + versionText +
                   "\" has a number outside 0 to 65535: the device installer keeps each of the "
                   "four in 16 bits";
        }
    }
    if (!IsDriverDate(date)) {
        return "the DriverVer date \"" + date +
               "\" is not mm/dd/yyyy: the device installer ranks the driver as undated";
    }
    return std::string();
}

void CheckVersion(Checker* checker, bool servesX86, bool servesAmd64, bool signedPackage) {
    const InfSection* version = checker->Section("Version");
    if (version == nullptr) {
        return;  // the reader refuses such an INF
    }
    checker->Say(0, "");
    checker->Say(0, Named(*version));
    CheckClass(checker, *version);
    CheckDriverVer(checker, *version);
    CheckCatalog(checker, *version, servesX86, servesAmd64, signedPackage);
}

}  // namespace zk::pkgcheck
