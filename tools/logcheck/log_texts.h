// Every text zkcoinst.dll writes into zkcoinst.log, as its printf format, with
// what it tells about the run and, for each ERROR and WARNING (and the few
// failures logged without that mark), its cause and its fix in package terms.
// A test reads the DLL's sources and fails when one of their ERROR or WARNING
// texts is not here. Windows-free.
#pragma once

#include <cstddef>

namespace zk::logcheck {

enum class TextKind {
    Error,    // "ERROR: ..."
    Warning,  // "WARNING: ..."
    Failure,  // a failure the DLL logs without either mark
    Dif,      // "DIF Code: ..." of a code it handles
    UnhandledDif,
    Step,  // any other step
};

// What a text says was done, for the run's summary.
enum class Effect {
    None,
    SetupEntry,           // the banner of a SetupEntryPoint run
    Section,              // zkcoinst.ini section run: values[0]
    InfFolder,            // the INF's folder: values[0]
    SwitchState,          // web-update switch: class values[0], on/off values[1]
    FilterRemoved,        // an orphaned class-filter entry values[0] taken out
    MonitorInstalled,     // the bandwidth monitor's service and filter entries
    MonitorSkipped,       // 103,NO_ROVudevid
    FilterNotListed,      // ... but put in no class list: its driver file is missing
    RegistryWrite,        // line 102: values[0]
    RegistryDelete,       // line 100: values[0]
    StartsRegsvr32,       // regsvr32 /s values[0]
    StartsServer,         // values[0] /REGSERVER
    StartsCompanion,      // a registered companion program, command line values[0]
    StartsProgram,        // values[0] through the shell (the value-add program)
    StartsWebUpdate,      // values[0], the web-update program
    CopiesHidDriver,      // hidusb.sys copied to Drivers
    SetsCodec,            // VIDC.I420
    Restoring,            // a newer shared copy values[0] put in place
    RestoreSkipped,       // ... not: the installed file is missing
    Undone,               // the step of the message just before did not happen
    Deferred,             // the replacement just before is left to the next start
    FinishActionNotOurs,  // another installer's finish-install action: nothing of ours
};

struct LogText {
    const char* format;  // as the DLL passes it to LogMessage
    TextKind kind;
    Effect effect;
    const char* cause;  // ERROR, WARNING and Failure texts; nullptr otherwise
    const char* fix;
};

// The table, in the order the explainer tries it (a text that another one
// would also match comes first).
const LogText* LogTexts(size_t* count);

// The name of a DIF code (DIF_ALLOW_INSTALL for 24), nullptr when unknown.
const char* DifCodeName(int code);

}  // namespace zk::logcheck
