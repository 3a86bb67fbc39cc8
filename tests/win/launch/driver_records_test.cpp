// The driver records of one co-installer call: every step of the call reads
// the selected driver and its details from them, and a failed read is told by
// each step in its own words, as when each step read for itself.
#include "core/driver_records.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/device_context.h"
#include "core/tracked_alloc.h"
#include "launch/device_identity.h"
#include "launch/launch_fixtures.h"
#include "launch/web_update.h"

namespace {

using zktest::ControlFile;
using zktest::TestContext;
using zktest::TestDevice;

// A context whose call keeps records for device, as the entry point does.
class CallRecords {
public:
    CallRecords(TestContext* context, TestDevice* device) : context_(context) {
        StartDriverRecords(&records, device->Set(), device->Data());
        context_->Get()->driverRecords = &records;
    }
    ~CallRecords() {
        if (context_->Get() != nullptr) {
            context_->Get()->driverRecords = nullptr;
        }
    }
    DriverRecords records;

private:
    TestContext* context_;
};

size_t Count(const std::string& log, const std::string& text) {
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        ++count;
    }
    return count;
}

TEST(DriverRecords, StepsOfOneCallReadTheRecordsTheFirstStepFetched) {
    ControlFile ini(
        "[CamInstall.NT.KESTR]\r\nVideo=0\r\n[Marked.KESTR]\r\nVideo=1\r\n[Marked]\r\nNoFNW=1\r\n");
    TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
    ASSERT_TRUE(device.Ready());
    TrackedUsage before = GetTrackedUsage();
    TestContext context;
    std::string log;
    {
        CallRecords call(&context, &device);
        DWORD error = 0;
        ASSERT_NE(nullptr, ReadSelectedDriver(&call.records, &error));
        DetailStep failedAt = DetailStep::kNone;
        auto* detail = const_cast<SP_DRVINFO_DETAIL_DATA_A*>(
            ReadDriverDetail(&call.records, &failedAt, &error));
        ASSERT_NE(nullptr, detail);
        EXPECT_STREQ("CamInstall.NT", detail->SectionName);
        EXPECT_NE(nullptr, strstr(detail->HardwareID, zktest::kCameraId));
        // Marked in the records only: a step that asked SetupAPI again would
        // see the INF's own section.
        strcpy(detail->SectionName, "Marked");
        EXPECT_EQ(1, LaunchKestrForDeviceClass(context.Get(), device.Set(), device.Data()));
        EXPECT_EQ(1, IsNoFNWSet(context.Get(), device.Set(), device.Data()));
        context.Get()->driverRecords = nullptr;
        // Outside the call the steps read for themselves.
        EXPECT_EQ(0, IsNoFNWSet(context.Get(), device.Set(), device.Data()));
        log = context.Finish();
    }
    EXPECT_EQ(1u, Count(log, "Device section: Marked, selected section: Marked.KESTR")) << log;
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
}

TEST(DriverRecords, EachStepTellsAFailedDetailReadInItsOwnWords) {
    struct Case {
        DetailStep failedAt;
        std::string identity;  // GetInfDriverVersion's line
        std::string kestr;     // LaunchKestrForDeviceClass's line
        bool fixedPartRead;    // whether the steps that need only SectionName go on
    } cases[] = {
        {DetailStep::kFirstRead,
         "   ERROR: KESTR> Failed to retieve buffer size of driver info (87).\r\n",
         "   ERROR: LaunchKestrForDeviceClass> Failed to retrieve buffer size of driver info "
         "details (87)\r\n",
         false},
        {DetailStep::kAllocate, "   ERROR: KESTR> Failed to allocate buffer for driver info.\r\n",
         "   ERROR: LaunchKestrForDeviceClass> Failed to allocate driver info detail buffer\r\n",
         true},
        {DetailStep::kWholeRead, "   ERROR: KESTR> Failed to retieve driver info (87).\r\n",
         "   ERROR: LaunchKestrForDeviceClass> Failed to retrieve driver info details (87)\r\n",
         true},
    };
    ControlFile ini("[CamInstall.NT]\r\nNoFNW=1\r\n");
    for (const Case& c : cases) {
        TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
        ASSERT_TRUE(device.Ready());
        TestContext context;
        std::string log;
        int noFnw = -1;
        {
            CallRecords call(&context, &device);
            DWORD error = 0;
            // The real first read, then the failure of the step named.
            ASSERT_NE(nullptr, ReadDriverDetailFixedPart(&call.records, &error));
            call.records.detailFailedAt = c.failedAt;
            call.records.detailError = ERROR_INVALID_PARAMETER;
            call.records.haveFixedPart = c.fixedPartRead;
            SP_DRVINFO_DATA_V2_A driver = call.records.driver;
            DriverVersion version = {{0, 0, 0, 0}};
            EXPECT_EQ(0, GetInfDriverVersion(context.Get(), device.Set(), device.Data(), &driver,
                                             &version));
            EXPECT_EQ(0, LaunchKestrForDeviceClass(context.Get(), device.Set(), device.Data()));
            noFnw = IsNoFNWSet(context.Get(), device.Set(), device.Data());
            context.Get()->driverRecords = nullptr;
            log = context.Finish();
        }
        EXPECT_EQ(1u, Count(log, c.identity)) << log;
        EXPECT_EQ(1u, Count(log, c.kestr)) << log;
        EXPECT_EQ(c.fixedPartRead ? 1 : 0, noFnw) << log;
        EXPECT_EQ(c.fixedPartRead ? 0u : 1u, Count(log, "   ERROR: SetupDiGetDriverInfoDetail"))
            << log;
    }
}

TEST(DriverRecords, AFailedSelectedDriverReadIsToldByEachStep) {
    TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
    ASSERT_TRUE(device.Ready());
    TestContext context;
    std::string log;
    {
        CallRecords call(&context, &device);
        call.records.driverRead = true;
        call.records.haveDriver = false;
        call.records.driverError = ERROR_NO_DRIVER_SELECTED;
        EXPECT_EQ(0, LaunchKestrForDeviceClass(context.Get(), device.Set(), device.Data()));
        EXPECT_EQ(0, IsNoFNWSet(context.Get(), device.Set(), device.Data()));
        EXPECT_EQ(0, LaunchKestr(context.Get(), device.Set(), device.Data()));
        context.Get()->driverRecords = nullptr;
        log = context.Finish();
    }
    const int error = static_cast<int>(ERROR_NO_DRIVER_SELECTED);
    EXPECT_EQ(1u,
              Count(log, "   ERROR: LaunchKestrForDeviceClass> Failed to retrieve driver info (" +
                             std::to_string(error) + ")\r\n"))
        << log;
    EXPECT_EQ(1u, Count(log, "   ERROR: SetupDiGetSelectedDriver. 0xE0000203.\r\n")) << log;
    EXPECT_EQ(1u, Count(log, "   ERROR: KESTR> Failed to get the Driver Info Parameters (" +
                                 std::to_string(error) + ").\r\n"))
        << log;
}

TEST(DriverRecords, ALaterCallUsesTheRecordKeptWhileTheSelectedDriverIsTheSame) {
    TestDevice device(zktest::kImageClassGuid, {zktest::kCameraId});
    ASSERT_TRUE(device.Ready());
    TrackedUsage before = GetTrackedUsage();
    TestContext context;
    auto sectionOfACall = [&]() {
        DriverRecords records;
        StartCallRecords(&records, context.Get(), device.Set(), device.Data());
        DetailStep failedAt = DetailStep::kNone;
        DWORD error = 0;
        const SP_DRVINFO_DETAIL_DATA_A* detail = ReadDriverDetail(&records, &failedAt, &error);
        return detail != nullptr ? std::string(detail->SectionName) : std::string("(none)");
    };
    EXPECT_EQ("CamInstall.NT", sectionOfACall());
    KeptDetail* kept = context.Get()->keptDetail;
    ASSERT_NE(nullptr, kept);
    // Marked in the kept record only: the next call shows whether it asked again.
    strcpy(static_cast<SP_DRVINFO_DETAIL_DATA_A*>(kept->record)->SectionName, "Marked");
    EXPECT_EQ("Marked", sectionOfACall());

    // Another driver (here: another version) is read afresh and kept instead.
    kept->driver.DriverVersion += 1;
    EXPECT_EQ("CamInstall.NT", sectionOfACall());
    EXPECT_EQ(kept, context.Get()->keptDetail);
    EXPECT_EQ("CamInstall.NT", sectionOfACall());

    // The context's release frees what it kept.
    context.Finish();
    EXPECT_EQ(before.blocks, GetTrackedUsage().blocks);
    EXPECT_EQ(before.bytes, GetTrackedUsage().bytes);
}

}  // namespace
