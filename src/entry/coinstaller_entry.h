// The co-installer entry and the small operations of its dispatch.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "core/device_context.h"

// Called by the device installer for every DIF code (exported by this name).
extern "C" DWORD CALLBACK ZkCoInstaller(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet,
                                        PSP_DEVINFO_DATA deviceInfoData,
                                        PCOINSTALLER_CONTEXT_DATA context);

// The directory of the selected driver's INF file, with its trailing backslash,
// into a buffer of MAX_PATH characters.
bool GetMediaSourceDirectory(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                             char* directory);

// Starts path through the shell, not waiting for it. 0, or the failure as an HRESULT.
DWORD LaunchFile(DeviceContext* context, const char* path, const char* option);

// Asks the device installer for DIF_FINISHINSTALL_ACTION (Vista and later).
void RequestFinishInstallAction(DeviceContext* context, HDEVINFO deviceInfoSet,
                                PSP_DEVINFO_DATA deviceInfoData);
