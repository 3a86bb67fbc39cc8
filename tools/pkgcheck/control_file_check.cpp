#include "control_file_check.h"

#include "ini_check.h"
#include "package_files.h"
#include "profile_reader.h"

namespace zk::pkgcheck {

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

}  // namespace zk::pkgcheck
