// zkinicheck's whole run as a function: the command line, the files read and
// the report, for the program and for tests that check many files in one
// process. Windows-free.
#pragma once

#include <string>

namespace zk::inicheck {

// What zkinicheck prints for argv: its report (or the usage text asked for)
// into *out, a usage or read error into *err. Returns the exit status: 0 no
// warning, 1 warnings, 2 usage or read error.
int RunIniCheck(int argc, const char* const* argv, std::string* out, std::string* err);

}  // namespace zk::inicheck
