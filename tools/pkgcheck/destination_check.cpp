#include "destination_check.h"

namespace zk::pkgcheck {

namespace {

const char kSystemDirectoryId[] = "11";

}  // namespace

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

}  // namespace zk::pkgcheck
