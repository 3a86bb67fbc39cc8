#include "core/driver_records.h"

#include <cstring>

#include "common/win_handles.h"
#include "core/device_context.h"
#include "core/install_log.h"

namespace {

// Room for the fixed part and a hardware ID list of usual length, so that one
// read is enough for nearly every driver.
const uint32_t kFirstReadSize = 4096;

// A cleared block of size bytes (at least the fixed record) with the record's
// cbSize set; none when it cannot be had.
TrackedBuffer DetailBlock(uint32_t size) {
    TrackedBuffer block(size);
    if (block) {
        memset(block.Get(), 0, size);
        block.As<SP_DRVINFO_DETAIL_DATA_A>()->cbSize = sizeof(SP_DRVINFO_DETAIL_DATA_A);
    }
    return block;
}

// The owner's kept record when it is of the very driver of records.
const SP_DRVINFO_DETAIL_DATA_A* KeptRecordOf(const DriverRecords* records) {
    const KeptDetail* kept = records->owner != nullptr ? records->owner->keptDetail : nullptr;
    if (kept == nullptr || memcmp(&kept->driver, &records->driver, sizeof(kept->driver)) != 0) {
        return nullptr;
    }
    return static_cast<const SP_DRVINFO_DETAIL_DATA_A*>(kept->record);
}

// Hands the record read whole in this call to the owner, in place of the one
// it kept. Without an owner, or without a block for the driver, the record
// stays the call's.
void KeepDetail(DriverRecords* records) {
    DeviceContext* owner = records->owner;
    if (owner == nullptr) {
        return;
    }
    KeptDetail* kept = owner->keptDetail;
    if (kept == nullptr) {
        kept = static_cast<KeptDetail*>(TrackedAlloc(sizeof(KeptDetail)));
        if (kept == nullptr) {
            return;
        }
        kept->record = nullptr;
        owner->keptDetail = kept;
    }
    TrackedFree(kept->record);
    kept->driver = records->driver;
    kept->record = records->detail.Release();
    records->view = static_cast<const SP_DRVINFO_DETAIL_DATA_A*>(kept->record);
}

void ReadDetail(DriverRecords* records) {
    records->detailRead = true;
    DWORD error = 0;
    const SP_DRVINFO_DATA_V2_A* driver = ReadSelectedDriver(records, &error);
    if (driver == nullptr) {
        records->detailFailedAt = DetailStep::kFirstRead;
        records->detailError = error;
        return;
    }
    records->view = KeptRecordOf(records);
    if (records->view != nullptr) {
        records->haveFixedPart = true;
        return;
    }
    auto* driverData = reinterpret_cast<PSP_DRVINFO_DATA_A>(&records->driver);
    TrackedBuffer block = DetailBlock(kFirstReadSize);
    if (!block) {
        records->detailFailedAt = DetailStep::kAllocate;
        records->detailError = GetLastError();
        return;
    }
    DWORD required = 0;
    if (SetupDiGetDriverInfoDetailA(records->deviceInfoSet, records->deviceInfoData, driverData,
                                    block.As<SP_DRVINFO_DETAIL_DATA_A>(), kFirstReadSize,
                                    &required)) {
        records->detail = std::move(block);
        records->haveFixedPart = true;
        KeepDetail(records);
        return;
    }
    error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) {
        records->detailFailedAt = DetailStep::kFirstRead;
        records->detailError = error;
        return;
    }
    // The fixed part is filled; the list needs the size the first read reported.
    records->detail = std::move(block);
    records->haveFixedPart = true;
    uint32_t wholeSize = required < sizeof(SP_DRVINFO_DETAIL_DATA_A)
                             ? static_cast<uint32_t>(sizeof(SP_DRVINFO_DETAIL_DATA_A))
                             : required;
    TrackedBuffer whole = DetailBlock(wholeSize);
    if (!whole) {
        records->detailFailedAt = DetailStep::kAllocate;
        records->detailError = GetLastError();
        return;
    }
    if (!SetupDiGetDriverInfoDetailA(records->deviceInfoSet, records->deviceInfoData, driverData,
                                     whole.As<SP_DRVINFO_DETAIL_DATA_A>(), wholeSize, nullptr)) {
        records->detailFailedAt = DetailStep::kWholeRead;
        records->detailError = GetLastError();
        return;
    }
    records->detail = std::move(whole);
    KeepDetail(records);
}

}  // namespace

namespace {

const SP_DRVINFO_DETAIL_DATA_A* DetailView(const DriverRecords* records) {
    return records->view != nullptr ? records->view
                                    : records->detail.As<SP_DRVINFO_DETAIL_DATA_A>();
}

}  // namespace

void StartDriverRecords(DriverRecords* records, HDEVINFO deviceInfoSet,
                        PSP_DEVINFO_DATA deviceInfoData) {
    records->deviceInfoSet = deviceInfoSet;
    records->deviceInfoData = deviceInfoData;
}

void StartCallRecords(DriverRecords* records, DeviceContext* context, HDEVINFO deviceInfoSet,
                      PSP_DEVINFO_DATA deviceInfoData) {
    StartDriverRecords(records, deviceInfoSet, deviceInfoData);
    records->owner = context;
}

void ForgetKeptDetail(DeviceContext* context) {
    KeptDetail* kept = context->keptDetail;
    context->keptDetail = nullptr;
    if (kept != nullptr) {
        TrackedFree(kept->record);
        TrackedFree(kept);
    }
}

DriverRecords* DriverRecordsFor(DeviceContext* context, HDEVINFO deviceInfoSet,
                                PSP_DEVINFO_DATA deviceInfoData, DriverRecords* local) {
    DriverRecords* kept = context != nullptr ? context->driverRecords : nullptr;
    if (kept != nullptr && kept->deviceInfoSet == deviceInfoSet &&
        kept->deviceInfoData == deviceInfoData) {
        return kept;
    }
    StartDriverRecords(local, deviceInfoSet, deviceInfoData);
    return local;
}

DriverRecords* DriverRecordsForDriver(DeviceContext* context, HDEVINFO deviceInfoSet,
                                      PSP_DEVINFO_DATA deviceInfoData,
                                      const SP_DRVINFO_DATA_V2_A* driver, DriverRecords* local) {
    DriverRecords* kept = context != nullptr ? context->driverRecords : nullptr;
    if (kept != nullptr && kept->deviceInfoSet == deviceInfoSet &&
        kept->deviceInfoData == deviceInfoData && kept->driverRead && kept->haveDriver &&
        memcmp(&kept->driver, driver, sizeof(*driver)) == 0) {
        return kept;
    }
    StartDriverRecords(local, deviceInfoSet, deviceInfoData);
    local->driverRead = true;
    local->haveDriver = true;
    local->driver = *driver;
    return local;
}

const SP_DRVINFO_DATA_V2_A* ReadSelectedDriver(DriverRecords* records, DWORD* error) {
    if (!records->driverRead) {
        records->driverRead = true;
        records->driver.cbSize = sizeof(records->driver);
        records->haveDriver = SetupDiGetSelectedDriverA(
                                  records->deviceInfoSet, records->deviceInfoData,
                                  reinterpret_cast<PSP_DRVINFO_DATA_A>(&records->driver)) != FALSE;
        records->driverError = records->haveDriver ? 0 : GetLastError();
    }
    *error = records->driverError;
    return records->haveDriver ? &records->driver : nullptr;
}

const SP_DRVINFO_DETAIL_DATA_A* ReadDriverDetail(DriverRecords* records, DetailStep* failedAt,
                                                 DWORD* error) {
    if (!records->detailRead) {
        ReadDetail(records);
    }
    *failedAt = records->detailFailedAt;
    *error = records->detailError;
    return records->detailFailedAt == DetailStep::kNone ? DetailView(records) : nullptr;
}

const SP_DRVINFO_DETAIL_DATA_A* ReadDriverDetailFixedPart(DriverRecords* records, DWORD* error) {
    DetailStep failedAt = DetailStep::kNone;
    ReadDriverDetail(records, &failedAt, error);
    return records->haveFixedPart ? DetailView(records) : nullptr;
}

const SP_DRVINFO_DETAIL_DATA_A* GetSelectedDriverDetail(DeviceContext* context,
                                                        HDEVINFO deviceInfoSet,
                                                        PSP_DEVINFO_DATA deviceInfoData,
                                                        DriverRecords* local) {
    DriverRecords* records = DriverRecordsFor(context, deviceInfoSet, deviceInfoData, local);
    DWORD error = 0;
    if (ReadSelectedDriver(records, &error) == nullptr) {
        LogMessage(context, "ERROR: SetupDiGetSelectedDriver. 0x%08X.\n",
                   static_cast<unsigned>(error));
        return nullptr;
    }
    const SP_DRVINFO_DETAIL_DATA_A* detail = ReadDriverDetailFixedPart(records, &error);
    if (detail == nullptr) {
        LogMessage(context, "ERROR: SetupDiGetDriverInfoDetail");
    }
    return detail;
}

bool GetMediaSourceDirectory(DeviceContext* context, HDEVINFO deviceInfoSet,
                             PSP_DEVINFO_DATA deviceInfoData, char* directory) {
    DriverRecords local;
    DriverRecords* records = DriverRecordsFor(context, deviceInfoSet, deviceInfoData, &local);
    DWORD error = 0;
    const SP_DRVINFO_DETAIL_DATA_A* detail = ReadDriverDetailFixedPart(records, &error);
    if (detail == nullptr) {
        return false;
    }
    zk::UniqueGlobal block(GlobalAlloc(GMEM_FIXED, sizeof(SP_DRVINFO_DETAIL_DATA_A)));
    if (!block) {
        return false;
    }
    auto* copy = static_cast<PSP_DRVINFO_DETAIL_DATA_A>(static_cast<void*>(block.Get()));
    memcpy(copy, detail, sizeof(SP_DRVINFO_DETAIL_DATA_A));
    char* fileName = nullptr;
    DWORD length = GetFullPathNameA(copy->InfFileName, MAX_PATH, directory, &fileName);
    if (length == 0 || length >= MAX_PATH || fileName == nullptr) {
        return false;
    }
    *fileName = '\0';
    return true;
}
