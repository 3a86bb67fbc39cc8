// zkinicheck: prints what the co-installer does with a zkcoinst.ini and with
// the companion programs of a regedit export, and warns about what it skips
// or does unexpectedly. The run is check_run.cpp; the checks are in
// ini_check.cpp and registered_check.cpp.
#include <cstdio>
#include <string>

#include "check_run.h"

int main(int argc, char** argv) {
    std::string out;
    std::string err;
    int status = zk::inicheck::RunIniCheck(argc, argv, &out, &err);
    (void)fputs(err.c_str(), stderr);
    if (fputs(out.c_str(), stdout) < 0 || fflush(stdout) != 0) {
        return 2;  // a report that did not reach its reader checked nothing
    }
    return status;
}
