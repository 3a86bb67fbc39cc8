#include "source_files_check.h"

#include "package_files.h"

namespace zk::pkgcheck {

namespace {

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

}  // namespace

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

}  // namespace zk::pkgcheck
