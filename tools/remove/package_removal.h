// Taking the package's class filters off a machine, and their services and
// driver files once nothing uses them: what zkremove does. Every step reports
// one line of what it did; nothing here asks or waits.
#pragma once

#include <string>
#include <vector>

struct RemovalLine {
    std::string text;
    bool failed;
};

using RemovalReport = std::vector<RemovalLine>;

// Takes every filter of the co-installer's class filter table off its class
// list. The list's other entries stay, in their order (empty strings in it are
// dropped); a list left without entries is deleted. A list that names no
// filter of ours, a value that is no list, or a class key the machine lacks is
// not written.
void RemoveClassFilters(RemovalReport* report);

// For each service of the table's filters: when no class list names it and no
// device names it (as its Service, LowerFilters or UpperFilters), deletes the
// service (through the service manager, or its registry key when the service
// manager does not know it yet) and "<system directory>\drivers\<file>"; a file
// in use is deleted at the next start. Otherwise both stay, and the line says
// who uses them.
void RemoveUnusedServices(RemovalReport* report);
