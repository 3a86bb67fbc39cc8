// zkremove: takes what the co-installer put in the class filter lists off a
// machine once the package is removed, and the filter services and driver
// files once nothing uses them. Run as an administrator, with the build of the
// machine's processor (the 64-bit one on 64-bit Windows, whose drivers folder
// a 32-bit program does not see).
//
//   zkremove
//
// Prints one line per change and per failure; exit status 0 when every step
// worked, 1 when one failed, 2 for a wrong command line.
#include <cstdio>
#include <cstring>

#include "remove/package_removal.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        bool help = strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0;
        (void)fprintf(help ? stdout : stderr,
                      "usage: zkremove\n"
                      "Takes the package's filters off the class filter lists (other entries\n"
                      "stay, in order), then deletes the filter services and driver files that\n"
                      "no class list and no device names any more.\n");
        return help ? 0 : 2;
    }
    RemovalReport report;
    RemoveClassFilters(&report);
    RemoveUnusedServices(&report);
    bool failed = false;
    for (const RemovalLine& line : report) {
        printf("%s%s\n", line.failed ? "FAILED: " : "", line.text.c_str());
        failed = failed || line.failed;
    }
    if (report.empty()) {
        printf("Nothing of the package's filters was found.\n");
    }
    return failed ? 1 : 0;
}
