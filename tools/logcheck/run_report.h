// What zklogcheck prints for a log: per run the device, the DIF codes in
// order, what was done, and every ERROR and WARNING with its cause and fix.
// Windows-free.
#pragma once

#include <string>

#include "log_reader.h"

namespace zk::logcheck {

struct Explanation {
    std::string text;  // every line ending in "\n"
    int runs = 0;
    int runsWithErrors = 0;
    int runsWithWarnings = 0;
};

// Appends the explanation of the log read from the file named name.
void ExplainLog(const std::string& name, const LogFile& log, Explanation* explanation);

// The closing line: how many runs, how many with ERRORs and WARNINGs.
std::string ClosingLine(const Explanation& explanation);

}  // namespace zk::logcheck
