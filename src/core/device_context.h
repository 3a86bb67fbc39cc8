// Per-handle contexts: one record for each device information set the
// co-installer entry is called with (and for each setup entry point call). The
// record carries the log stream and the finish-install flag from call to call.
#pragma once

#include <cstdint>
#include <cstdio>

struct DriverRecords;
struct KeptDetail;

struct DeviceContext {
    DeviceContext* next;
    DeviceContext* prev;
    const void* key;  // compared only, never dereferenced
    uint32_t finishInstallPending;
    FILE* logStream;
    // The driver records of the co-installer call in progress, or null
    // between calls; owned by the entry point's frame.
    DriverRecords* driverRecords;
    // The selected driver's detail record as one of the calls read it whole,
    // for the later calls (see driver_records.h); freed with the context.
    KeptDetail* keptDetail;
};

// The context of handle, created (log opened, run started) when there is none.
// Null when the registry's lock cannot be had or the record not allocated.
DeviceContext* GetDeviceContext(const void* handle);

// The context of handle, or null.
DeviceContext* FindDeviceContext(const void* handle);

// Unlinks the context, ends its log run and frees it. Null is ignored.
void ReleaseDeviceContext(DeviceContext* context);

// Lifecycle, driven by the library's process attach and detach. The stop frees
// every context still listed and closes its log without a stop line.
void StartContextRegistry();
void StopContextRegistry();

// How many contexts are listed now (for diagnosis and tests).
uint32_t GetDeviceContextCount();
