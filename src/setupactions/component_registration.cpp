#include "setupactions/component_registration.h"

#include <windows.h>

#include "core/install_log.h"
#include "core/start_process.h"
#include "setupactions/setup_line.h"

namespace {

// A file named without a folder would be looked for by process creation and
// by regsvr32 along the search path: the current folder and every PATH
// folder, where an ordinary user may have put a file of that name, to be run
// as LocalSystem. The package's CopyFiles put its files in the system
// directory, so that is the one place such a name is looked for. True with
// "<system directory>\<path>" in out when a file is there.
bool ResolveInSystemDirectory(DeviceContext* context, const char* path, char* out,
                              size_t capacity) {
    char systemDirectory[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory));
    if (length == 0 || length >= sizeof(systemDirectory)) {
        LogMessage(context, "ERROR: Failed to get system directory (%d); %s is not registered.\n",
                   static_cast<int>(GetLastError()), path);
        return false;
    }
    if (!zk::JoinSetupPath(out, capacity, systemDirectory, path)) {
        LogMessage(context, "ERROR: The path %s\\%s is too long; not registered.\n",
                   systemDirectory, path);
        return false;
    }
    DWORD attributes = GetFileAttributesA(out);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        LogMessage(context, "ERROR: %s is not in the system directory (%s); not registered.\n",
                   path, out);
        return false;
    }
    return true;
}

}  // namespace

bool RegisterFile(DeviceContext* context, const char* path) {
    LogMessage(context, "File to register: %s\n", path);
    // The directory part is only reported, so it is printed in place rather
    // than copied out of the path.
    LogMessage(context, "Path to File to register: %.*s\n",
               static_cast<int>(zk::DirectoryPartLength(path)), path);
    zk::RegistrationKind kind = zk::ClassifyRegistration(path);
    if (kind == zk::RegistrationKind::None) {
        return false;
    }
    char resolved[zk::kSetupTextCapacity];
    if (!zk::IsFullyQualifiedPath(path)) {
        if (!ResolveInSystemDirectory(context, path, resolved, sizeof(resolved))) {
            return false;
        }
        path = resolved;
    }
    return kind == zk::RegistrationKind::InProcessServer ? Regsvr32DLL(context, path)
                                                         : RegisterEXE(context, path);
}

bool Regsvr32DLL(DeviceContext* context, const char* path) {
    LogMessage(context, "File to register is a DLL or AX\n");
    char systemDirectory[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory));
    if (length == 0 || length >= sizeof(systemDirectory)) {
        LogMessage(context, "ERROR: Regsvr32DLL: Failed to get system directory (%d)\n",
                   static_cast<int>(GetLastError()));
        return false;
    }
    LogMessage(context, "Register DLL: file = %s\n", path);
    char commandLine[zk::kSetupTextCapacity];
    switch (zk::BuildRegsvr32CommandLine(commandLine, sizeof(commandLine), systemDirectory, path)) {
        case zk::BuildResult::QuoteInPath:
            LogMessage(context,
                       "ERROR: Regsvr32DLL: A file name cannot hold a double quote; %s is not "
                       "registered\n",
                       path);
            return false;
        case zk::BuildResult::TooLong:
            LogMessage(context,
                       "ERROR: Regsvr32DLL: The command line for %s is too long; not registered\n",
                       path);
            return false;
        case zk::BuildResult::Built:
            break;
    }
    if (!StartWithoutWaiting(commandLine)) {
        LogMessage(context, "ERROR: Regsvr32DLL: Failed to register %s (%d)\n", path,
                   static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

bool RegisterEXE(DeviceContext* context, const char* path) {
    LogMessage(context, "Register EXE: file = %s\n", path);
    char commandLine[zk::kSetupTextCapacity];
    switch (zk::BuildServerCommandLine(commandLine, sizeof(commandLine), path)) {
        case zk::BuildResult::QuoteInPath:
            LogMessage(context,
                       "ERROR: Register EXE: A file name cannot hold a double quote; %s is not "
                       "registered\n",
                       path);
            return false;
        case zk::BuildResult::TooLong:
            LogMessage(context,
                       "ERROR: Register EXE: The command line for %s is too long; not registered\n",
                       path);
            return false;
        case zk::BuildResult::Built:
            break;
    }
    if (!StartWithoutWaiting(commandLine)) {
        LogMessage(context, "ERROR: Register EXE: Failed to register %s (%d)\n", path,
                   static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}
