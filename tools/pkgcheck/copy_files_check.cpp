#include "copy_files_check.h"

#include "destination_check.h"

namespace zk::pkgcheck {

// One CopyFiles line of the .CoInstallers section.
void CheckCopyFiles(Checker* checker, const ArchitectureInfo& info, const InfLine& directive,
                    const std::vector<std::string>& coInstallerNames, CopyResult* result,
                    Verdict* verdict, int depth) {
    result->sawCopyFiles = true;
    checker->Say(depth, At(directive) + "CopyFiles=" + InfLineText(directive));
    for (const std::string& item : directive.fields) {
        if (item.empty()) {
            continue;
        }
        // "@file" copies one file to DefaultDestDir.
        bool single = item[0] == '@';
        std::string listName = single ? std::string() : item;
        Destination destination = FindDestination(*checker, listName);
        std::vector<InfLine> singleLine;
        const std::vector<InfLine>* lines = nullptr;
        if (single) {
            InfLine line = directive;
            line.fields = {item.substr(1)};
            singleLine.push_back(line);
            lines = &singleLine;
            checker->Say(depth + 1,
                         item + " " + DescribeDestination(destination, info.architecture));
        } else {
            const InfSection* list = checker->Section(item);
            if (list == nullptr) {
                checker->Warn(depth + 1, At(directive) + "CopyFiles names " + Bracket(item) +
                                             ", which is not in the INF");
                continue;
            }
            lines = &list->lines;
            checker->Say(depth + 1,
                         Named(*list) + " " + DescribeDestination(destination, info.architecture));
        }
        for (const InfLine& line : *lines) {
            CopyEntry entry;
            entry.line = &line;
            entry.destination = Field(line, 0);
            entry.source = Field(line, 1).empty() ? entry.destination : Field(line, 1);
            if (entry.destination.empty()) {
                continue;
            }
            LocateSource(checker, info, &entry, verdict, depth + 2);
            if (IsCoInstallerName(entry.destination, coInstallerNames) ||
                SameFileName(entry.destination, kControlFile)) {
                JudgeCopyDestination(checker, destination, entry, coInstallerNames,
                                     info.architecture, verdict, depth + 2);
            }
            // The entry keeps pointing at the line, which outlives the check
            // only for list sections; a single copy is judged here and now.
            if (single) {
                entry.line = &directive;
            }
            result->entries.push_back(entry);
        }
    }
}

}  // namespace zk::pkgcheck
