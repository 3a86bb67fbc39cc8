#include "setupactions/component_registration.h"

#include <windows.h>

#include "core/install_log.h"
#include "core/start_process.h"
#include "setupactions/setup_line.h"

bool RegisterFile(DeviceContext* context, const char* path) {
    LogMessage(context, "File to register: %s\n", path);
    // The directory part is only reported, so it is printed in place rather
    // than copied out of the path.
    LogMessage(context, "Path to File to register: %.*s\n",
               static_cast<int>(zk::DirectoryPartLength(path)), path);
    switch (zk::ClassifyRegistration(path)) {
        case zk::RegistrationKind::InProcessServer:
            return Regsvr32DLL(context, path);
        case zk::RegistrationKind::LocalServer:
            return RegisterEXE(context, path);
        case zk::RegistrationKind::None:
            break;
    }
    return false;
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
