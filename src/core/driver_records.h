// The selected driver of a device and its detail record, read from SetupAPI
// once per co-installer call and shared by every step of that call.
//
// The entry point sets up one DriverRecords for each call it gets and hangs it
// on the device's context; the readers below fetch into it on first use. A
// step run outside a call (a test, the setup entry point) gets records of its
// own. Each consumer still reports a failed fetch in its own words: the
// records keep which step failed and the thread's error at that moment.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "core/tracked_alloc.h"

struct DeviceContext;

// Where reading the detail record stopped.
enum class DetailStep {
    kNone,       // not tried, or read whole
    kFirstRead,  // the first read failed for another reason than its size
    kAllocate,   // the block for the whole record could not be had
    kWholeRead,  // the read into the block of the reported size failed
};

struct DriverRecords {
    HDEVINFO deviceInfoSet = nullptr;
    PSP_DEVINFO_DATA deviceInfoData = nullptr;

    bool driverRead = false;  // the selected driver was asked for
    bool haveDriver = false;
    DWORD driverError = 0;
    SP_DRVINFO_DATA_V2_A driver = {};

    bool detailRead = false;  // the detail record was asked for
    DetailStep detailFailedAt = DetailStep::kNone;
    DWORD detailError = 0;
    // The record; after a failed whole read it still holds the fixed part
    // (SectionName, InfFileName) that the first read filled.
    TrackedBuffer detail;
    bool haveFixedPart = false;
};

// Starts records for one device of one set; nothing is read yet.
void StartDriverRecords(DriverRecords* records, HDEVINFO deviceInfoSet,
                        PSP_DEVINFO_DATA deviceInfoData);

// The records the current call keeps for this device when there are any, else
// local, started for it.
DriverRecords* DriverRecordsFor(DeviceContext* context, HDEVINFO deviceInfoSet,
                                PSP_DEVINFO_DATA deviceInfoData, DriverRecords* local);

// The same for a driver the caller already holds: the call's records when
// they are of that very driver, else local, started with it.
DriverRecords* DriverRecordsForDriver(DeviceContext* context, HDEVINFO deviceInfoSet,
                                      PSP_DEVINFO_DATA deviceInfoData,
                                      const SP_DRVINFO_DATA_V2_A* driver, DriverRecords* local);

// The selected driver, or null with its error in *error.
const SP_DRVINFO_DATA_V2_A* ReadSelectedDriver(DriverRecords* records, DWORD* error);

// The selected driver's whole detail record (hardware ID list included), or
// null: *failedAt and *error say where and why. A failed selected-driver read
// reports kFirstRead with its error.
const SP_DRVINFO_DETAIL_DATA_A* ReadDriverDetail(DriverRecords* records, DetailStep* failedAt,
                                                 DWORD* error);

// The fixed part of the detail record (SectionName, InfFileName), which the
// device installer fills even where the hardware ID list does not fit. Null
// only when the first read failed: *error says why.
const SP_DRVINFO_DETAIL_DATA_A* ReadDriverDetailFixedPart(DriverRecords* records, DWORD* error);

// The selected driver's details for the steps that need only the fixed part.
// Failures are logged ("ERROR: SetupDiGetSelectedDriver. ..." or
// "ERROR: SetupDiGetDriverInfoDetail") and give null.
const SP_DRVINFO_DETAIL_DATA_A* GetSelectedDriverDetail(DeviceContext* context,
                                                        HDEVINFO deviceInfoSet,
                                                        PSP_DEVINFO_DATA deviceInfoData,
                                                        DriverRecords* local);

// The folder of the selected driver's INF, with its closing backslash, into
// directory (MAX_PATH characters). The detail record is handed on in a block
// of its own from GlobalAlloc, as the device installer's callers expect of it.
bool GetMediaSourceDirectory(DeviceContext* context, HDEVINFO deviceInfoSet,
                             PSP_DEVINFO_DATA deviceInfoData, char* directory);
