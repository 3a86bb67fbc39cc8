#include "destination_check.h"

#include <strings.h>

#include <cstdlib>

namespace zk::pkgcheck {

namespace {

// A directory id as SetupAPI reads it: strtol's number (blanks, a sign, "0x"
// hexadecimal or "0" octal), what follows ignored. False with no digits.
bool ReadDirectoryId(const std::string& text, long* id) {
    const char* start = text.c_str();
    char* end = nullptr;
    *id = strtol(start, &end, 0);
    return end != start;
}

// The folder a directory id stands for, as parts below the Windows folder
// ("W"), below the root of the system drive ("D:"), or absolute ("-1"); empty
// for an id whose folder is not one of Windows' own.
std::vector<std::string> IdFolder(long id, Architecture architecture) {
    switch (id) {
        case 10:
        case 16420:  // CSIDL_WINDOWS
            return {"W"};
        case 11:
        case 16421:  // CSIDL_SYSTEM
            return {"W", "system32"};
        case 16425:  // CSIDL_SYSTEMX86: the 32-bit system folder
            return architecture == Architecture::X86 ? std::vector<std::string>{"W", "system32"}
                                                     : std::vector<std::string>{"W", "SysWOW64"};
        case 12:
            return {"W", "system32", "drivers"};
        case 17:
            return {"W", "inf"};
        case 18:
            return {"W", "help"};
        case 20:
            return {"W", "fonts"};
        case 23:
            return {"W", "system32", "spool", "drivers", "color"};
        case 50:
            return {"W", "system"};
        case 51:
            return {"W", "system32", "spool"};
        case 24:
            return {"D:"};
        case -1:
            return {"-1"};
        default:
            return {};
    }
}

}  // namespace

SystemFolder NamesSystemFolder(const std::string& directory, const std::string& subdirectory,
                               Architecture architecture, std::string* windowsFolder) {
    long id = 0;
    std::vector<std::string> parts;
    if (!ReadDirectoryId(directory, &id) || (parts = IdFolder(id, architecture)).empty()) {
        return SystemFolder::NotNamed;
    }
    bool absolute = parts[0] == "-1";
    if (absolute) {
        parts.clear();
    }
    // The subdirectory's parts, "." and ".." resolved; a ".." above the
    // Windows folder leaves Windows' folders.
    std::string piece;
    for (size_t i = 0; i <= subdirectory.size(); ++i) {
        if (i < subdirectory.size() && subdirectory[i] != '\\' && subdirectory[i] != '/') {
            piece += subdirectory[i];
            continue;
        }
        if (piece == "..") {
            if (parts.empty() || (parts.size() == 1 && !absolute)) {
                return SystemFolder::NotNamed;
            }
            parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        piece.clear();
    }
    size_t count = parts.size();
    bool endsInSystem32 = count >= 2 && strcasecmp(parts[count - 1].c_str(), "system32") == 0;
    if (!endsInSystem32) {
        return SystemFolder::NotNamed;
    }
    if (parts[0] == "W") {
        return count == 2 ? SystemFolder::Named : SystemFolder::NotNamed;
    }
    // From the drive's root, or absolute: the system folder where Windows is
    // in the folder before "system32".
    *windowsFolder = parts[0] == "D:" ? std::string("<system drive>") : parts[0];
    for (size_t i = 1; i + 1 < count; ++i) {
        *windowsFolder += "\\" + parts[i];
    }
    return SystemFolder::WhereWindows;
}

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

std::string DescribeDestination(const Destination& destination, Architecture architecture) {
    if (destination.line == nullptr) {
        return "without a destination";
    }
    std::string where = "to directory " + destination.directory;
    if (!destination.subdirectory.empty()) {
        where += "\\" + destination.subdirectory;
    }
    std::string assumed;
    if ((destination.directory != "11" || !destination.subdirectory.empty()) &&
        NamesSystemFolder(destination.directory, destination.subdirectory, architecture,
                          &assumed) == SystemFolder::Named) {
        where += ", the system folder";
    }
    std::string from = "[DestinationDirs]";
    if (destination.line->line > 0) {
        from += " " + LineOf(destination.line->line);
    }
    return where + " (" + from + (destination.isDefault ? ", DefaultDestDir" : "") + ")";
}

void JudgeCopyDestination(Checker* checker, const Destination& destination, const CopyEntry& entry,
                          const std::vector<std::string>& coInstallerNames,
                          Architecture architecture, Verdict* verdict, int depth) {
    bool isDll = IsCoInstallerName(entry.destination, coInstallerNames);
    std::string consequence =
        isDll ? "the device installer loads " + entry.destination +
                    " by its name, from the system folder"
              : "the co-installer reads " + std::string(kControlFile) + " from the system folder";
    std::string problem;
    std::string why;
    std::string windowsFolder;
    SystemFolder folder = destination.line == nullptr
                              ? SystemFolder::NotNamed
                              : NamesSystemFolder(destination.directory, destination.subdirectory,
                                                  architecture, &windowsFolder);
    long id = 0;
    bool eleven = ReadDirectoryId(destination.directory, &id) && id == 11;
    if (destination.line == nullptr) {
        problem = At(*entry.line) +
                  "[DestinationDirs] names neither this file list nor "
                  "DefaultDestDir, so " +
                  entry.destination + " has no destination";
        why = entry.destination + " has no destination";
    } else if (folder == SystemFolder::Named) {
        return;
    } else if (folder == SystemFolder::WhereWindows) {
        // Right on most machines: a warning, not a stop.
        checker->Warn(depth, At(*destination.line) + entry.destination + " goes to " +
                                 destination.directory + "," + destination.subdirectory +
                                 ", which is the system folder only where Windows is in " +
                                 windowsFolder + ": name it by its directory id, 11");
        return;
    } else if (!eleven) {
        std::string named = destination.directory == "12" ? " (the drivers folder)" : "";
        std::string shown =
            destination.directory +
            (destination.subdirectory.empty() ? "" : "\\" + destination.subdirectory);
        problem = At(*destination.line) + entry.destination + " goes to directory " + shown +
                  named + ", not 11 (the system folder): " + consequence;
        why = entry.destination + " goes to directory " + shown + ", not 11";
    } else {
        problem = At(*destination.line) + entry.destination + " goes to 11\\" +
                  destination.subdirectory + ", not to the system folder itself: " + consequence;
        why = entry.destination + " goes to a subfolder of directory 11";
    }
    checker->Warn(depth, problem);
    if (isDll) {
        verdict->Stop(why);
    }
}

}  // namespace zk::pkgcheck
