// The small system actions of setup-action lines: a copy of the system's HID
// USB class driver into its Drivers folder, and one registry value under
// HKEY_LOCAL_MACHINE deleted or set to the REG_DWORD 1.
#pragma once

struct DeviceContext;

// Copies "<system>\hidusb.sys" over "<system>\Drivers\hidusb.sys" through the
// shell, silently and without confirmation. Logs what it does.
void CopyHIDUSBDriver(DeviceContext* context);

// argument is "<key path>\<value name>" (an empty name is the default value).
// Both log nothing and refuse, with false, an argument without a backslash.
// True when the value was deleted.
bool DeleteRegKeyHKLM(const char* argument);
// True when the value was written; the key must exist already.
bool CreateRegKeyHKLM(const char* argument);
