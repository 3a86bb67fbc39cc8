// The companion-program check: which entries of a regedit export of
// HKEY_LOCAL_MACHINE\SOFTWARE\Marvanto\ZKCoInstaller apply to which devices
// and phases, the command line each starts on a Windows version, and where
// the co-installer's reading differs from what the author likely meant. It
// decides with the co-installer's own rules (launch/registered_apps_core.h,
// core/path_template_core.h) over a machine of default folders on which the
// maker folder exists wherever a template looks for it. Windows-free.
#pragma once

#include "check_options.h"
#include "check_report.h"
#include "reg_file.h"

namespace zk::inicheck {

extern const char kRegisteredAppsKey[];  // HKEY_LOCAL_MACHINE\SOFTWARE\Marvanto\ZKCoInstaller

// The report on file (a registry script), headed by options.registeredFile.
CheckReport CheckRegisteredPrograms(const RegFile& file, const CheckOptions& options);

}  // namespace zk::inicheck
