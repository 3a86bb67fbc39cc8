// The whole package: every models section of [Manufacturer] through the rules
// of the other *_check.cpp files, and the closing count.
#include "pkg_check.h"

#include "models_check.h"
#include "package_checker.h"
#include "version_check.h"

namespace zk::pkgcheck {

PackageReport CheckPackage(const InfFile& inf, const Package& package,
                           const PackageOptions& options) {
    Checker checker{inf, package, PackageReport()};
    checker.Say(0, package.infPath + " (package folder " + package.folder + ")");
    const InfSection* manufacturer = checker.Section("Manufacturer");
    // The processors the checked models sections serve, for the catalog.
    bool servesX86 = false;
    bool servesAmd64 = false;
    if (manufacturer != nullptr) {
        Checker silent{inf, package, PackageReport()};
        for (const Decoration& decoration : CollectDecorations(&silent, *manufacturer)) {
            if (decoration.kind == DecorationKind::Checked &&
                (options.allArchitectures || decoration.architecture == options.architecture)) {
                servesX86 = servesX86 || decoration.architecture == Architecture::X86;
                servesAmd64 = servesAmd64 || decoration.architecture == Architecture::Amd64;
            }
        }
    }
    CheckVersion(&checker, servesX86, servesAmd64, options.signedPackage);
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
