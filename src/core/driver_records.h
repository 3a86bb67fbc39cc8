// The selected driver of a device and its detail record, read from SetupAPI
// once per co-installer call and shared by every step of that call.
//
// The entry point sets up one DriverRecords for each call it gets and hangs it
// on the device's context; the readers below fetch into it on first use. A
// step run outside a call (a test, the setup entry point) gets records of its
// own. Each consumer still reports a failed fetch in its own words: the
// records keep which step failed and the thread's error at that moment.
//
// The selected driver is asked for afresh in every call. Its detail record,
// once read whole, is kept by the context for its later calls and used again
// while the device installer reports the very same driver (the same record,
// byte for byte: the node, its INF section, date and version): the record
// depends on nothing else, and reading it makes SetupAPI parse the INF anew.
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

// A detail record read whole in an earlier call of a context, with the
// selected driver it belongs to; both blocks are tracked.
struct KeptDetail {
    SP_DRVINFO_DATA_V2_A driver;
    void* record;
};

struct DriverRecords {
    // The context whose calls share the detail record, or null.
    DeviceContext* owner = nullptr;
    HDEVINFO deviceInfoSet = nullptr;
    PSP_DEVINFO_DATA deviceInfoData = nullptr;

    bool driverRead = false;  // the selected driver was asked for
    bool haveDriver = false;
    DWORD driverError = 0;
    SP_DRVINFO_DATA_V2_A driver = {};

    bool detailRead = false;  // the detail record was asked for
    DetailStep detailFailedAt = DetailStep::kNone;
    DWORD detailError = 0;
    // The record read in this call; after a failed whole read it still holds
    // the fixed part (SectionName, InfFileName) that the first read filled.
    TrackedBuffer detail;
    // Where the record is read: detail, or the owner's kept record.
    const SP_DRVINFO_DETAIL_DATA_A* view = nullptr;
    bool haveFixedPart = false;
};

// Starts the records of one co-installer call for context's device.
void StartCallRecords(DriverRecords* records, DeviceContext* context, HDEVINFO deviceInfoSet,
                      PSP_DEVINFO_DATA deviceInfoData);

// Frees the detail record context keeps, if any (at its release).
void ForgetKeptDetail(DeviceContext* context);

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
