#include "log_texts.h"

namespace zk::logcheck {

namespace {

using K = TextKind;
using E = Effect;

// Causes and fixes that several texts share.
const char kNoSelectedDriver[] =
    "the device installer gave no selected driver, or no details of it (the INF file and "
    "install section), for the device the co-installer was called for: it is called for a "
    "device that is not being installed from a driver of the package, for example when it is "
    "registered for the whole setup class, or by a setup program's own device-installation "
    "calls";
const char kNoSelectedDriverFix[] =
    "register zkcoinst.dll in the .CoInstallers section of the package's install section "
    "(HKR,,CoInstallers32), not as a class co-installer, and install the device from the "
    "package's INF (zkpkgcheck checks the registration)";
const char kOutOfMemory[] =
    "a few bytes of memory could not be allocated: the installing process is out of memory";
const char kOutOfMemoryFix[] = "nothing in the package; install again once the machine has memory";
const char kDriverVerFix[] =
    "give the INF's [Version] section a DriverVer line with a date and four numbers, "
    "DriverVer=01/15/2008,1.2.30.400 (zkpkgcheck checks it)";
const char kHardwareIdFix[] =
    "nothing in the package; the device reports no hardware IDs, so the web-update program "
    "cannot be told which device it is";
const char kUsbIdFix[] =
    "nothing in the package: the web-update program is for devices whose first hardware ID "
    "names VID_, PID_ and REV_ (USB\\VID_1BCF&PID_2C6A&REV_0100&MI_00); a device without them "
    "gets no web update";
const char kPendingCause[] =
    "a newer shared copy could not replace a file in use, and its replacement at the next start "
    "could not be written into the registry value PendingFileRenameOperations (HKLM\\SYSTEM\\"
    "CurrentControlSet\\Control\\Session Manager)";
const char kPendingFix[] =
    "nothing in the package; the installing process needs write access to the Session Manager "
    "key (it has it when Windows' device installer runs it); install again after a restart, "
    "when the file is no longer in use";
const char kWinInitCause[] =
    "a SetupEntryPoint run could not replace a file in use, and its replacement at the next "
    "start could not be written into <Windows>\\WinInit.ini ([rename])";
const char kWinInitFix[] =
    "run the setup program as an administrator, with WinInit.ini writable; close the programs "
    "that hold the shared file, or run the setup program again after a restart";
const char kRegisterStartFix[] =
    "check that the file exists where the zkcoinst.ini line names it and is the kind its name "
    "says (a DLL for regsvr32, a program for /REGSERVER); zkinicheck shows the command line";
const char kQuoteFix[] =
    "rename the file, or the line of zkcoinst.ini that names it, without a double quote";
const char kTooLongFix[] =
    "shorten the path in the zkcoinst.ini line (a file below the system or Windows directory "
    "with code 11 or 10 and a short relative path)";
const char kCodecFix[] =
    "nothing in the package: the installation must run with the rights of Windows' device "
    "installer (administrator or LocalSystem); on a system without the key, register the codec "
    "with the package's own setup program";
const char kSwitchReadFix[] =
    "nothing in the package; the device installer did not give the selected driver's details, "
    "so the web-update switch of zkcoinst.ini is not asked (see SetupDiGetSelectedDriver)";

const LogText kTexts[] = {
    // The entry and its DIF codes.
    {"DIF Code: DIF_INSTALLDEVICE (Pro-processing) ----------------------\n", K::Dif, E::None,
     nullptr, nullptr},
    {"DIF Code: DIF_INSTALLDEVICE (Post-processing) ---------------------\n", K::Dif, E::None,
     nullptr, nullptr},
    {"DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL -----------------------\n", K::Dif, E::None,
     nullptr, nullptr},
    {"DIF Code: DIF_FINISHINSTALL_ACTION --------------------------------\n", K::Dif, E::None,
     nullptr, nullptr},
    {"DIF Code: DIF_DESTROYPRIVATEDATA ----------------------------------\n", K::Dif, E::None,
     nullptr, nullptr},
    {"Unhandled DIF Code: %3d -------------------------------------------\n", K::UnhandledDif,
     E::None, nullptr, nullptr},
    {"Marvanto Setup Extension DLL\n", K::Step, E::SetupEntry, nullptr, nullptr},
    {"============================\n\n", K::Step, E::None, nullptr, nullptr},
    {"ERROR: SetupDiGetSelectedDriver. 0x%08X.\n", K::Error, E::None, kNoSelectedDriver,
     kNoSelectedDriverFix},
    {"ERROR: SetupDiGetDriverInfoDetail", K::Error, E::None, kNoSelectedDriver,
     kNoSelectedDriverFix},
    {"ERROR: Failed to get install params (0x%08x)\n", K::Error, E::None,
     "the device's install parameters could not be read at DIF_NEWDEVICEWIZARD_FINISHINSTALL, so "
     "no finish-install action was requested: the post-install companion programs and the "
     "web-update program do not start in one",
     "nothing in the package; install the device again"},
    {"ERROR: Failed to set install params (0x%08x)\n", K::Error, E::None,
     "the device installer refused the request for a finish-install action at "
     "DIF_NEWDEVICEWIZARD_FINISHINSTALL: the post-install companion programs and the "
     "web-update program do not start in one",
     "nothing in the package; install the device again"},

    // Class filters, the bandwidth monitor, the codec.
    {"Filter '%s' is already present.\r\n", K::Step, E::FilterRemoved, nullptr, nullptr},
    {"DelFilterInClassKey> Failed to open class registry key. (0x%08x).\r\n", K::Failure, E::None,
     "the Image class key could not be opened, so orphaned filter entries (a filter whose "
     "service or driver file is gone, which stops the class's devices from starting) are not "
     "taken out of its LowerFilters",
     "nothing in the package: the installation must run with the rights of Windows' device "
     "installer; remove the orphaned entry from the class's LowerFilters by hand"},
    {"DelFilterInClassKey> Unable to allocate buffer to read registry key.\r\n", K::Failure,
     E::None, kOutOfMemory, kOutOfMemoryFix},
    {"DelFilterInClassKey> Unable to allocate buffer to write into registry key.\r\n", K::Failure,
     E::None, kOutOfMemory, kOutOfMemoryFix},
    {"WARNING: DelFilterInClassKey> %s is of type %u, not a list; left as it is.\r\n", K::Warning,
     E::None,
     "the class's filter value is not a REG_MULTI_SZ list (type 7) but of the type named, so the "
     "orphaned filter entry in it is not taken out; a device of the class may not start while "
     "the entry names a filter that is gone",
     "write class filter lists as REG_MULTI_SZ (AddReg flag 0x00010000, or 0x00010008 to "
     "append) in every package that adds to them, and put the value right on the machine"},
    {"Install bandwidth monitor.\n", K::Step, E::MonitorInstalled, nullptr, nullptr},
    {"WARNING: %s> %s is missing; %s is not added to the class filter lists.\n", K::Warning,
     E::FilterNotListed,
     "the filter's driver file (ZKUSBSta.sys for the bandwidth monitor, ZkClsUpr.sys for the "
     "storage filter of 99,DisableUnsafeDialog) is not in <system directory>\\drivers, so the "
     "filter is put in no class filter list: a listed filter without its file would keep every "
     "device of the class from starting. Its service key is written all the same",
     "copy the driver file to directory 12 in the .CoInstallers section's CopyFiles, which the "
     "device installer carries out before DIF_INSTALLDEVICE (the install section's own files "
     "come too late for its pre-processing); a package without the filter writes 103,"
     "NO_ROVudevid into its zkcoinst.ini section"},
    // Written to the installing process's standard output, not to the log.
    {"RegisterROVudevidNT> FAILED open key (%d)\n", K::Failure, E::None,
     "the bandwidth monitor's service key HKLM\\SYSTEM\\CurrentControlSet\\Services\\ZKUSBSta "
     "could not be created (the number is the Windows error code), so the monitor is not "
     "installed; this line goes to the installing process's standard output, not to the log",
     "nothing in the package: the installation must run with the rights of Windows' device "
     "installer"},
    {"Updating codecs ...\n", K::Step, E::SetsCodec, nullptr, nullptr},
    {"Done updating codecs.\n", K::Step, E::None, nullptr, nullptr},
    {"ERROR:  Failed to open \"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32\" "
     "(x32).\n",
     K::Error, E::Undone,
     "the key HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32 of the 32-bit "
     "registry view could not be opened for writing (it is missing, or the process may not "
     "write it), so the codec VIDC.I420 is not registered",
     kCodecFix},
    {"ERROR:  Failed to open \"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32\" "
     "(x64).\n",
     K::Error, E::Undone,
     "the key HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32 of the 64-bit "
     "registry view could not be opened for writing (it is missing, or the process may not "
     "write it), so the codec VIDC.I420 is not registered",
     kCodecFix},
    {"ERROR: Failed to set \"%s\" codec.\n", K::Error, E::Undone,
     "the codec value named (VIDC.I420 = zkcodec2.dll) could not be written into Drivers32",
     kCodecFix},

    // zkcoinst.ini's setup actions.
    {"Windows system directory: %s\n", K::Step, E::None, nullptr, nullptr},
    {"Windows directory: %s\n", K::Step, E::None, nullptr, nullptr},
    {"INI file to use: %s\n", K::Step, E::None, nullptr, nullptr},
    {"Section to register: %s\n", K::Step, E::Section, nullptr, nullptr},
    {"Section %s doesn't exist in INI file.\n", K::Step, E::None, nullptr, nullptr},
    {"ERROR: GetWindowsDirectory() failed !\n", K::Error, E::None,
     "the system or Windows directory could not be read, so zkcoinst.ini is not read: no setup "
     "action runs (the bandwidth monitor is still installed)",
     "nothing in the package; the machine's Windows installation is damaged"},
    {"ERROR: The path of %s is too long.\n", K::Error, E::None,
     "the system directory and \"zkcoinst.ini\" make a path longer than 259 characters, so no "
     "setup action runs",
     "nothing in the package; Windows installed in so deep a folder is not served"},
    {"ERROR: Section %s not found !\n", K::Error, E::None,
     "zkcoinst.ini in the system directory has no section of this name, the install section as "
     "the model line names it (on Windows 2000 and XP an Image-class device must have one); the "
     "file may be missing because the .CoInstallers section does not copy it",
     "give zkcoinst.ini a section named after the install section (without .NT or .NTamd64) and "
     "copy zkcoinst.ini to directory 11 in the .CoInstallers section (zkpkgcheck checks both)"},
    {"ERROR: Line longer than %u characters; not run: %.*s\n", K::Error, E::None,
     "a line of the zkcoinst.ini section is longer than the co-installer's 259-character line "
     "buffer, so it is not run",
     "shorten the line (zkinicheck warns about it)"},
    {"WARNING: Section %s is longer than %u characters; its lines from this one on are not run: "
     "%.*s\n",
     K::Warning, E::None,
     "the zkcoinst.ini section is longer than the 500 characters the co-installer reads of it; "
     "the line named and every line after it are not run",
     "shorten the section, or move lines into a section that a setup program runs through "
     "SetupEntryPoint (zkinicheck shows where the read ends)"},
    {"WARNING: %s: %s names no key; line ignored.\n", K::Warning, E::Undone,
     "a 100 or 102 line of zkcoinst.ini names a value without a key: no backslash, or nothing in "
     "front of the last one (the root of HKLM); it changes nothing",
     "write the line as <code>,<key path under HKLM>\\<value name>, e.g. "
     "102,SOFTWARE\\Marvanto\\CameraSetupDone"},
    {"DeleteRegKeyHKLM: %s \n", K::Step, E::RegistryDelete, nullptr, nullptr},
    {"CreateRegKeyHKLM: %s \n", K::Step, E::RegistryWrite, nullptr, nullptr},
    {"Install Module check. %s\n", K::Step, E::None, nullptr, nullptr},
    {"Will not Install ROVudevid.\n", K::Step, E::MonitorSkipped, nullptr, nullptr},
    {"Unknow ModuleName:%s \n", K::Failure, E::None,
     "a 103 line of zkcoinst.ini names a module other than NO_ROVudevid (a case-sensitive "
     "prefix); it does nothing",
     "write 103,NO_ROVudevid to keep the bandwidth monitor out, or remove the line"},
    {"DisableAutoPlay: Not Supported in the Current Version of VORIVEZ \n", K::Step, E::None,
     nullptr, nullptr},
    {"DisableUnsafeDialog: Going to Set Registry settings to disable unsafe dialog removal\n",
     K::Step, E::None, nullptr, nullptr},
    {"Calling CopyHIDUSBDriver()...\n", K::Step, E::None, nullptr, nullptr},
    {"GetSystemDirectory() Failed - Result - %d \n", K::Failure, E::None,
     "the system directory could not be read, so hidusb.sys is not copied (line "
     "101,CopyHIDUSBDriver)",
     "nothing in the package; the machine's Windows installation is damaged"},
    {"ERROR: CopyHIDUSBDriver: The path of %s is too long; not copied\n", K::Error, E::None,
     "the system directory and the file name make a path longer than the buffer for it, so "
     "hidusb.sys is not copied (line 101,CopyHIDUSBDriver)",
     "nothing in the package; Windows installed in so deep a folder is not served"},
    {"Copying File \n", K::Step, E::None, nullptr, nullptr},
    {"From: %s\n", K::Step, E::None, nullptr, nullptr},
    {"To: %s\n", K::Step, E::None, nullptr, nullptr},
    {"SHFileOperation() operation Succeeded \n", K::Step, E::CopiesHidDriver, nullptr, nullptr},
    {"ERROR: SHFileOperation() operation Failed... Result - %d\n", K::Error, E::None,
     "hidusb.sys could not be copied from the system directory to its Drivers folder (line "
     "101,CopyHIDUSBDriver): the file is missing or the target cannot be written (the number is "
     "SHFileOperation's result)",
     "use the line only on systems that have <system directory>\\hidusb.sys, and run the "
     "installation with administrator rights"},
    {"File to register: %s\n", K::Step, E::None, nullptr, nullptr},
    {"Path to File to register: %.*s\n", K::Step, E::None, nullptr, nullptr},
    {"File to register is a DLL or AX\n", K::Step, E::None, nullptr, nullptr},
    {"ERROR: Failed to get system directory (%d); %s is not registered.\n", K::Error, E::None,
     "the system directory, where a file named without a folder is looked for, could not be "
     "read, so the file is not registered",
     "nothing in the package; the machine's Windows installation is damaged"},
    {"ERROR: The path %s\\%s is too long; not registered.\n", K::Error, E::None,
     "the directory (Windows or system directory, by the line's code) and the file named make a "
     "path longer than 259 characters, so it is not registered",
     kTooLongFix},
    {"ERROR: %s is not in the system directory (%s); not registered.\n", K::Error, E::None,
     "a zkcoinst.ini line names a file to register without a folder, and the system directory, "
     "the one place such a name is looked for, has no such file (the search path is never "
     "used: a copy planted there would run with the installer's rights), so it is not "
     "registered",
     "copy the file to directory 11 with the package's CopyFiles and name it with code 11 "
     "(11,<file>), or give its full path"},
    {"ERROR: Regsvr32DLL: Failed to get system directory (%d)\n", K::Error, E::None,
     "the system directory, where regsvr32.exe is, could not be read, so the DLL is not "
     "registered",
     "nothing in the package; the machine's Windows installation is damaged"},
    {"Register DLL: file = %s\n", K::Step, E::StartsRegsvr32, nullptr, nullptr},
    {"ERROR: Regsvr32DLL: A file name cannot hold a double quote; %s is not registered\n", K::Error,
     E::Undone,
     "the path to register holds a double quote, which cannot be quoted on regsvr32's command "
     "line, so it is not registered",
     kQuoteFix},
    {"ERROR: Regsvr32DLL: The command line for %s is too long; not registered\n", K::Error,
     E::Undone,
     "regsvr32's command line for the path would be longer than 259 characters, so it is not "
     "registered",
     kTooLongFix},
    {"ERROR: Regsvr32DLL: Failed to register %s (%d)\n", K::Error, E::Undone,
     "regsvr32.exe could not be started for the DLL (the number is the Windows error code)",
     kRegisterStartFix},
    {"Register EXE: file = %s\n", K::Step, E::StartsServer, nullptr, nullptr},
    {"ERROR: Register EXE: A file name cannot hold a double quote; %s is not registered\n",
     K::Error, E::Undone,
     "the program's path holds a double quote, which cannot be quoted on its command line, so "
     "it is not registered",
     kQuoteFix},
    {"ERROR: Register EXE: The command line for %s is too long; not registered\n", K::Error,
     E::Undone,
     "the program's command line (its quoted path and /REGSERVER) would be longer than 259 "
     "characters, so it is not registered",
     kTooLongFix},
    {"ERROR: Register EXE: Failed to register %s (%d)\n", K::Error, E::Undone,
     "the program could not be started with /REGSERVER (the number is the Windows error code: "
     "2 the file is not there, 193 it is not a program); a key=value line such as "
     "Tool=setup.exe, which registration takes whole, fails so too",
     kRegisterStartFix},

    // The preserve-and-restore pass.
    {"Processing %s.\n", K::Step, E::None, nullptr, nullptr},
    {"ERROR: Install location of %s is too long.\n", K::Error, E::None,
     "the installed path of the shared file (in the Windows or system directory) is longer than "
     "the pass's buffers, so it is not compared with the shared copies",
     "nothing in the package; Windows installed in so deep a folder is not served"},
    {"New file version %d.%d.%d.%d.\n", K::Step, E::None, nullptr, nullptr},
    {"Previous file version %d.%d.%d.%d.\n", K::Step, E::None, nullptr, nullptr},
    {"WARNING: %s is built for machine 0x%04X, the installed file for 0x%04X; not put in "
     "place.\n",
     K::Warning, E::None,
     "the newest shared copy in the maker's shared-components folder is built for another "
     "processor than the installed file (0x014C x86, 0x8664 x64), so it does not replace it; an "
     "older copy of the right processor may still be put in place",
     "keep the shared copies of each processor where the packages of that processor install "
     "them, and give the 64-bit and 32-bit builds their own version numbers"},
    {"Restoring %s\n", K::Step, E::Restoring, nullptr, nullptr},
    {"File isn't exist\n", K::Step, E::RestoreSkipped, nullptr, nullptr},
    {"WARNING: %s was missing; the copy kept as %s is put back.\n", K::Warning, E::None,
     "the installed file was not there, and a whole copy of it that an interrupted replacement "
     "(a power cut or a crash in the middle of one) or the last start-up had left aside was put "
     "back under its name before the pass went on",
     "nothing to mend: the pass repaired what the interruption left; when it recurs without one, "
     "look for a program that deletes the file"},
    {"ERROR: The copy of %s made from %s is not the one checked; not put in place.\n", K::Error,
     E::Deferred,
     "the copy of the newer shared file made beside the installed one is not the version (or "
     "not the processor) that was checked: the shared copy changed while it was copied, or the "
     "disk gave other bytes; the installed file stays, and a replacement at the next start is "
     "tried",
     "nothing in the package; keep the maker's shared-components folder unchanged while devices "
     "are installed, and check the disk"},
    {"ERROR: The copy of %s staged from %s is not the one checked; nothing is scheduled.\n",
     K::Error, E::Undone,
     "the copy staged for the next start is not the version (or not the processor) of the "
     "shared file that was checked, so no replacement is scheduled and the installed file stays",
     "nothing in the package; keep the maker's shared-components folder unchanged while devices "
     "are installed, and check the disk"},
    {"ERROR: Couldn't %s %s. 0x%08X - %s", K::Error, E::Deferred,
     "the newer shared copy could not be put in place of the installed file now: a delete that "
     "fails is a file in use (0x00000020, sharing violation) or read-only (0x00000005); a copy "
     "that fails names the copy's error. The file is replaced at the next start instead, "
     "unless a line about the rename request follows. \"Couldn't stage\": the copy for the "
     "next start could not be made beside the installed file either, and nothing is scheduled",
     "nothing to mend when the next start is acceptable; to replace the file at once, close "
     "the programs that use it (the camera's applications) before installing, and make sure "
     "the installed file is not read-only"},
    {"ERROR: Couldn't put %s back; it is kept as %s.\n", K::Error, E::None,
     "while a file was being replaced, neither its old nor its new copy could be given the "
     "file's name again; the old copy is kept under the name given, nothing is lost",
     "rename the kept copy back to the file's name (or install again), after closing the "
     "programs that hold the file"},
    {"ERROR: Failed to open \"\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\" key. %s\n",
     K::Error, E::Undone, kPendingCause, kPendingFix},
    {"ERROR: Failed to get buffer size for PendingFileRenameOperations. %s\n", K::Error, E::Undone,
     kPendingCause, kPendingFix},
    {"ERROR: Failed to allocate buffer. Requested size=%d.\n", K::Error, E::Undone,
     "the rename request for the next start could not be formed: the memory for the existing "
     "list (PendingFileRenameOperations or WinInit.ini) and the new request could not be had, "
     "or the list is too large to add to; the file in use is not replaced",
     "restart the machine (Windows carries out and empties the list), then install again"},
    {"ERROR: Failed to read PendingFileRenameOperations value. %s\n", K::Error, E::Undone,
     kPendingCause, kPendingFix},
    {"ERROR: PendingFileRenameOperations is of type %u, not a list; nothing scheduled.\n", K::Error,
     E::Undone,
     "the registry value PendingFileRenameOperations holds another type than a list "
     "(REG_MULTI_SZ), written so by some other program; it is left alone and the file in use "
     "is not replaced at the next start",
     "restart the machine, then install again; find the program that writes the value wrongly"},
    {"ERROR: Couldn't save the new PendingFileRenameOperations value. %s\n", K::Error, E::Undone,
     kPendingCause, kPendingFix},
    {"ERROR: Couldn't open \"%s\".\n", K::Error, E::Undone, kWinInitCause, kWinInitFix},
    {"ERROR: Couldn't create backup file for \"%s\" (0x%08X).\n", K::Error, E::Undone,
     "a SetupEntryPoint run could not read <Windows>\\WinInit.ini to add its replacement for the "
     "next start: the file is missing (0x00000002) or cannot be opened, so the file in use is "
     "not replaced",
     "create an empty WinInit.ini in the Windows directory before the setup program runs, or "
     "run it after a restart when the file is no longer in use"},
    {"ERROR: Couldn't replace \"%s\" (0x%08X).\n", K::Error, E::Undone,
     "the rewritten WinInit.ini could not be put in place of the old one (on Windows 9x a "
     "WinInit.ini.bak that is there already, which may be the only copy of an interrupted "
     "rewrite, blocks it), so the file in use is not replaced at the next start",
     "remove WinInit.ini.bak after checking that WinInit.ini is whole, then run the setup "
     "program again"},

    // Companion programs, the value-add program, the web-update program.
    {"LaunchRegisteredApp:\n", K::Step, E::None, nullptr, nullptr},
    {"DIF_FINISHINSTALL_ACTION> Not requested by this co-installer; nothing started.\n", K::Step,
     E::FinishActionNotOurs, nullptr, nullptr},
    {"Launching File - %s\n", K::Step, E::StartsCompanion, nullptr, nullptr},
    {"WARNING: Unable to launch '\"%s\" %s'. 0x%08x - %s", K::Warning, E::Undone,
     "the command line of a companion program (its quoted path and Parameters) is longer than "
     "the co-installer's command line can be, so the program is not started (a cut line would "
     "start another program or other arguments)",
     "shorten the entry's Path, Name or Parameters in HKLM\\SOFTWARE\\Marvanto\\ZKCoInstaller "
     "(zkinicheck shows each entry's command line)"},
    {"WARNING: Unable to launch '%s'. 0x%08x - %s", K::Warning, E::Undone,
     "a program could not be started: the value-add program xwvalueadd.exe in the INF's folder "
     "(0x00000002: the package has none) or a companion program of "
     "HKLM\\SOFTWARE\\Marvanto\\ZKCoInstaller (the file its Path and Name lead to is missing or "
     "no program); the code and the system's text say why",
     "for xwvalueadd.exe: ship it beside the INF, or leave it out and ignore this warning; for a "
     "companion program: install it before the device, or correct Path and Name of its entry"},
    {"MediaSourceDirectory - %s\n", K::Step, E::InfFolder, nullptr, nullptr},
    {"ERROR: Failed to get Media Source Directory \n", K::Error, E::None, kNoSelectedDriver,
     kNoSelectedDriverFix},
    {"ERROR: Value-add program path is too long; not launched.\n", K::Error, E::None,
     "the INF's folder and \"xwvalueadd.exe\" make a path longer than 259 characters, so the "
     "value-add program is not started",
     "install the package from a folder with a shorter path"},
    {"Launching - %s\n", K::Step, E::None, nullptr, nullptr},
    {"Launching File %s with CommandLine Option - %s\n", K::Step, E::StartsProgram, nullptr,
     nullptr},
    {"LaunchKestrForDeviceClass> Device section: %s, selected section: %s\n", K::Step, E::None,
     nullptr, nullptr},
    {"LaunchKestrForDeviceClass> %s is %s (%s)\n", K::Step, E::SwitchState, nullptr, nullptr},
    {"ERROR: LaunchKestrForDeviceClass> Device section not found in '%s'.\n", K::Error, E::None,
     "no section of zkcoinst.ini that the web-update switch reads ([<install section>.KESTR.<"
     "major>.<minor>], [<install section>.KESTR], [KESTR.DevType.<major>.<minor>], "
     "[KESTR.DevType]) has a non-empty Video (Image class) or Audio (Media class) key, or "
     "zkcoinst.ini is missing: the web-update program is not started. Expected for a package "
     "without web update, once or more per installation",
     "for web update, add [KESTR.DevType] with Video=1 and Audio=1 to zkcoinst.ini; without it, "
     "nothing to mend"},
    {"ERROR: LaunchKestrForDeviceClass> Failed to retrieve driver info (%d)\n", K::Error, E::None,
     kNoSelectedDriver, kSwitchReadFix},
    {"ERROR: LaunchKestrForDeviceClass> Failed to retrieve buffer size of driver info details "
     "(%d)\n",
     K::Error, E::None, kNoSelectedDriver, kSwitchReadFix},
    {"ERROR: LaunchKestrForDeviceClass> Failed to allocate driver info detail buffer\n", K::Error,
     E::None, kOutOfMemory, kOutOfMemoryFix},
    {"ERROR: LaunchKestrForDeviceClass> Failed to retrieve driver info details (%d)\n", K::Error,
     E::None, kNoSelectedDriver, kSwitchReadFix},
    {"ERROR: LaunchKestrForDeviceClass> Failed to retrieve OS version (%d)\n", K::Error, E::None,
     "the Windows version could not be read, so the web-update switch is looked for only in the "
     "sections without a version ([<install section>.KESTR], [KESTR.DevType])",
     "put the switch into [KESTR.DevType] or [<install section>.KESTR] too"},
    {"KESTR> Command Line: '\"%s\\marvshrd\\%s\" -v 0x%s -p 0x%s -b 0x%s -f %s -d %d.%d.%d.%d "
     "-m %s%s'\n",
     K::Step, E::None, nullptr, nullptr},
    {"KESTR> Command Line: '%s'\n", K::Step, E::None, nullptr, nullptr},
    {"KESTR> Successfully launched %s.\n", K::Step, E::StartsWebUpdate, nullptr, nullptr},
    {"ERROR: KESTR> Failed to start %s (0x%08x).\n", K::Error, E::None,
     "the web-update program <Common Files>\\marvshrd\\Kestr32.exe could not be started (the "
     "code: 0x00000002 it is not there, 0x0000007a its command line, on the next line, is too "
     "long)",
     "install the maker's shared components (Kestr32.exe) before the device, or switch web "
     "update off in zkcoinst.ini; a manufacturer name that makes the line too long must be "
     "shortened in the INF"},
    {"ERROR: KESTR> Failed to get the Device Install Parameters (%d).\n", K::Error, E::None,
     "the device's install parameters could not be read (needed for -reboot)", kSwitchReadFix},
    {"ERROR: KESTR> Failed to get the Driver Info Parameters (%d).\n", K::Error, E::None,
     kNoSelectedDriver, kNoSelectedDriverFix},
    {"ERROR: KESTR> Failed to retrieve hardware information.\n", K::Error, E::None,
     "the driver version or the device's VID, PID or revision could not be had (the ERROR "
     "lines before it say which), so the web-update program is not started",
     "mend what the lines before it name"},
    {"ERROR: KESTR> Failed to open the 'Common Files' directory.\n", K::Error, E::None,
     "the Common Files folder (where marvshrd\\Kestr32.exe is) could not be found, so the "
     "web-update program is not started",
     "nothing in the package; the machine's shell folders are damaged"},
    {"ERROR: KESTR> Failed to retieve buffer size of driver info (%d).\n", K::Error, E::None,
     kNoSelectedDriver, kNoSelectedDriverFix},
    {"ERROR: KESTR> Failed to allocate buffer for driver info.\n", K::Error, E::None, kOutOfMemory,
     kOutOfMemoryFix},
    {"ERROR: KESTR> Failed to retieve driver info (%d).\n", K::Error, E::None, kNoSelectedDriver,
     kNoSelectedDriverFix},
    {"ERROR: KESTR> Failed open '%s' INF file (%d).\n", K::Error, E::None,
     "the INF the device was installed from could not be opened to read its DriverVer (moved or "
     "removed since, or not an INF that SetupAPI reads)",
     "keep the package's INF a device INF that SetupAPI opens ([Version] with "
     "Signature=\"$Windows NT$\"; zkpkgcheck reads it as SetupAPI does)"},
    {"ERROR: KESTR> Failed to get version info size from INF (%d).\n", K::Error, E::None,
     "the INF's [Version] section has no DriverVer line (-536870654 is SetupAPI's "
     "ERROR_LINE_NOT_FOUND, 0xE0000102), so the web-update program gets no driver version",
     kDriverVerFix},
    {"ERROR: KESTR> Failed to allocate version info buffer.\n", K::Error, E::None, kOutOfMemory,
     kOutOfMemoryFix},
    {"ERROR: KESTR> Failed to retrieve version info from INF (%d).\n", K::Error, E::None,
     "the INF's DriverVer line could not be read", kDriverVerFix},
    {"ERROR: KESTR> Failed to retrieve version (%s).\n", K::Error, E::None,
     "the version part of the INF's DriverVer line (after its comma, shown) is not four numbers "
     "separated by dots",
     kDriverVerFix},
    {"ERROR: KESTR> Failed to get INF version.\n", K::Error, E::None,
     "the driver version could not be read from the INF's DriverVer line (the line before it "
     "says why; without such a line, the DriverVer line has no version after its comma)",
     kDriverVerFix},
    {"ERROR: KESTR> Failed to retrieve size of hardware ID buffer (%d).\n", K::Error, E::None,
     "the device's hardware IDs could not be read", kHardwareIdFix},
    {"ERROR: KESTR> Failed to allocate hardware ID buffer.\n", K::Error, E::None, kOutOfMemory,
     kOutOfMemoryFix},
    {"ERROR: KESTR> Failed to retrieve hardware ID device property (%d).\n", K::Error, E::None,
     "the device's hardware IDs could not be read", kHardwareIdFix},
    {"ERROR: KESTR> Failed to get VID.\n", K::Error, E::None,
     "the device's first hardware ID has no \"vid_\" with four characters after it", kUsbIdFix},
    {"ERROR: KESTR> Failed to get PID.\n", K::Error, E::None,
     "the device's first hardware ID has no \"pid_\" with four characters after it", kUsbIdFix},
    {"ERROR: KESTR> Failed to get BCD.\n", K::Error, E::None,
     "the device's first hardware ID has no \"rev_\" with four characters after it (the "
     "device's revision)",
     kUsbIdFix},
};

const char* const kDifNames[] = {
    nullptr,
    "DIF_SELECTDEVICE",
    "DIF_INSTALLDEVICE",
    "DIF_ASSIGNRESOURCES",
    "DIF_PROPERTIES",
    "DIF_REMOVE",
    "DIF_FIRSTTIMESETUP",
    "DIF_FOUNDDEVICE",
    "DIF_SELECTCLASSDRIVERS",
    "DIF_VALIDATECLASSDRIVERS",
    "DIF_INSTALLCLASSDRIVERS",
    "DIF_CALCDISKSPACE",
    "DIF_DESTROYPRIVATEDATA",
    "DIF_VALIDATEDRIVER",
    "DIF_MOVEDEVICE",
    "DIF_DETECT",
    "DIF_INSTALLWIZARD",
    "DIF_DESTROYWIZARDDATA",
    "DIF_PROPERTYCHANGE",
    "DIF_ENABLECLASS",
    "DIF_DETECTVERIFY",
    "DIF_INSTALLDEVICEFILES",
    "DIF_UNREMOVE",
    "DIF_SELECTBESTCOMPATDRV",
    "DIF_ALLOW_INSTALL",
    "DIF_REGISTERDEVICE",
    "DIF_NEWDEVICEWIZARD_PRESELECT",
    "DIF_NEWDEVICEWIZARD_SELECT",
    "DIF_NEWDEVICEWIZARD_PREANALYZE",
    "DIF_NEWDEVICEWIZARD_POSTANALYZE",
    "DIF_NEWDEVICEWIZARD_FINISHINSTALL",
    "DIF_UNUSED1",
    "DIF_INSTALLINTERFACES",
    "DIF_DETECTCANCEL",
    "DIF_REGISTER_COINSTALLERS",
    "DIF_ADDPROPERTYPAGE_ADVANCED",
    "DIF_ADDPROPERTYPAGE_BASIC",
    "DIF_RESERVED1",
    "DIF_TROUBLESHOOTER",
    "DIF_POWERMESSAGEWAKE",
    "DIF_ADDREMOTEPROPERTYPAGE_ADVANCED",
    "DIF_UPDATEDRIVER_UI",
    "DIF_FINISHINSTALL_ACTION",
};

}  // namespace

const LogText* LogTexts(size_t* count) {
    *count = sizeof(kTexts) / sizeof(kTexts[0]);
    return kTexts;
}

const char* DifCodeName(int code) {
    const int known = static_cast<int>(sizeof(kDifNames) / sizeof(kDifNames[0]));
    return code > 0 && code < known ? kDifNames[code] : nullptr;
}

}  // namespace zk::logcheck
