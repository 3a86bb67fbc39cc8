// The zkcoinst.ini checker: what the co-installer will do with a section of
// its control file on a given Windows version, and what it will skip or do
// unexpectedly. It judges each line with the co-installer's own line grammar
// (setupactions/setup_line.h, launch/web_update_core.h). Windows-free.
#pragma once

#include <string>

#include "check_options.h"
#include "check_report.h"
#include "profile_reader.h"

namespace zk::inicheck {

// Sections that name a switch of the web-update program rather than setup
// actions ("<section>.KESTR...", "KESTR.DevType...").
bool IsSwitchSectionName(const std::string& name);

// The report on file, headed by options.fileName (or "zkcoinst.ini").
CheckReport CheckProfile(const ProfileFile& file, const CheckOptions& options);

}  // namespace zk::inicheck
