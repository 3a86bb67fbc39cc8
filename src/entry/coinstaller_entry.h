// The co-installer entry and the small operations of its dispatch.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "core/device_context.h"

// Called by the device installer for every DIF code (exported by this name).
extern "C" DWORD CALLBACK ZkCoInstaller(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet,
                                        PSP_DEVINFO_DATA deviceInfoData,
                                        PCOINSTALLER_CONTEXT_DATA context);

// Asks the device installer for DIF_FINISHINSTALL_ACTION (Vista and later).
void RequestFinishInstallAction(DeviceContext* context, HDEVINFO deviceInfoSet,
                                PSP_DEVINFO_DATA deviceInfoData);
