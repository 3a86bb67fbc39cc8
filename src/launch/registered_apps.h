// Companion programs that other setup components register under
// HKLM\SOFTWARE\Marvanto\ZKCoInstaller, one subkey each, for the pre-install
// and post-install phases. The key is only read here.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "launch/registered_apps_core.h"

struct DeviceContext;

// Starts, without waiting, every registered program that applies to the device
// and to the phase (postInstall non-zero: post-install). Non-zero when the key
// was walked; zero when the device's hardware ID cannot be read (as without a
// device: deviceInfoSet null or INVALID_HANDLE_VALUE, deviceInfoData null) or
// the key does not open. Problems with one entry skip that entry.
int LaunchRegisteredApp(DeviceContext* context, HDEVINFO deviceInfoSet,
                        PSP_DEVINFO_DATA deviceInfoData, int postInstall);
