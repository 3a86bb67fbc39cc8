#include "install_section_check.h"

#include <strings.h>

#include "control_file_check.h"
#include "copy_files_check.h"
#include "dll_check.h"
#include "package_files.h"
#include "registration_check.h"

namespace zk::pkgcheck {

namespace {

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

// The file names under which the section's CopyFiles copy zkcoinst.dll:
// its own, and that of every DLL they copy that exports ZkCoInstaller (a
// copy renamed for its version, say). Found on a silent pass.
std::vector<std::string> CoInstallerNames(const Checker& checker, const ArchitectureInfo& info,
                                          const InfSection& coInstallers) {
    std::vector<std::string> names = {kCoInstallerDll};
    Checker silent{checker.inf, checker.package, PackageReport()};
    Verdict ignored;
    CopyResult copies;
    for (const InfLine& line : coInstallers.lines) {
        if (line.hasKey && SameInfName(line.key, "CopyFiles")) {
            CheckCopyFiles(&silent, info, line, names, &copies, &ignored, 0);
        }
    }
    for (const CopyEntry& entry : copies.entries) {
        if (EndsWithDll(entry.destination) && !IsCoInstallerName(entry.destination, names) &&
            ExportsCoInstallerEntry(entry)) {
            names.push_back(entry.destination);
        }
    }
    return names;
}

}  // namespace

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
    std::vector<std::string> names = CoInstallerNames(*checker, info, *coInstallers);
    CopyResult copies;
    RegistrationResult registration;
    for (const InfLine& line : coInstallers->lines) {
        if (line.hasKey && SameInfName(line.key, "CopyFiles")) {
            CheckCopyFiles(checker, info, line, names, &copies, verdict, 2);
        } else if (line.hasKey && SameInfName(line.key, "AddReg")) {
            CheckAddReg(checker, line, names, &registration, 2);
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
        verdict->Stop(registration.lostWhy.empty() ? registration.firstWhy : registration.lostWhy);
    }

    // The file the registration names must be copied: zkcoinst.dll, or the
    // renamed copy it names.
    std::string wanted = registration.right ? registration.registered : kCoInstallerDll;
    const CopyEntry* dll = nullptr;
    const CopyEntry* control = nullptr;
    for (const CopyEntry& entry : copies.entries) {
        if (dll == nullptr && (registration.right ? SameFileName(entry.destination, wanted)
                                                  : IsCoInstallerName(entry.destination, names))) {
            dll = &entry;
        }
        if (control == nullptr && SameFileName(entry.destination, kControlFile)) {
            control = &entry;
        }
    }
    if (!copies.sawCopyFiles) {
        checker->Warn(2, section + " has no CopyFiles line, so " + wanted + " is not copied");
        verdict->Stop(wanted + " is not copied");
    } else if (dll == nullptr) {
        checker->Warn(2, "no CopyFiles of " + section + " copies " + wanted);
        verdict->Stop(wanted + " is not copied");
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
            CheckDll(checker, info, entry, names, verdict, 1);
        }
    }
    CheckControlFile(checker, info, copies, name, 1);
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

}  // namespace zk::pkgcheck
