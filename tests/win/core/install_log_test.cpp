#include "core/install_log.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/device_context.h"
#include "test_support.h"

namespace {

using zktest::WithoutTimestamps;

const std::string kHeader = std::string(zktest::kToolNameLine) +
                            "Tool Version: 11.70.1196.0 (debug)\r\n"
                            "Log Format Version: 01\r\n\r\n"
                            "Start Log File: [T]\r\n\r\n";
const char kRunStart[] =
    "Start co-installer: [T]\r\n"
    "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)\r\n";
const char kRunStop[] = "Stop co-installer: [T]\r\n\r\n";

const void* const kHandle = reinterpret_cast<const void*>(0x7000);

// One run with the given messages, through a context as the entries make it.
void OneRun(void (*messages)(DeviceContext*)) {
    DeviceContext* context = GetDeviceContext(kHandle);
    ASSERT_NE(nullptr, context);
    messages(context);
    ReleaseDeviceContext(context);
}

void NoMessages(DeviceContext*) {}

// Passes an absent string through a variable the compiler cannot see into, as
// callers with optional arguments do.
void LogAbsent(DeviceContext* context, const char* format, const char* volatile argument) {
    LogMessage(context, format, argument);
}

TEST(InstallLog, LivesInTheSystemDirectory) {
    EXPECT_EQ(zktest::SystemDirectory() + "\\zkcoinst.log", zktest::InstallLogPath());
}

TEST(InstallLog, ANewFileGetsTheHeaderThenTheRun) {
    zktest::FreshInstallLog log;
    OneRun(NoMessages);
    EXPECT_EQ(std::string(kHeader) + kRunStart + kRunStop, WithoutTimestamps(log.Read()));

    // The next run appends without a header.
    OneRun(NoMessages);
    EXPECT_EQ(std::string(kHeader) + kRunStart + kRunStop + kRunStart + kRunStop,
              WithoutTimestamps(log.Read()));
}

TEST(InstallLog, AnExistingEmptyFileGetsTheHeader) {
    zktest::FreshInstallLog log;
    zktest::WriteFileBytes(zktest::InstallLogPath(), "");
    OneRun(NoMessages);
    EXPECT_EQ(std::string(kHeader) + kRunStart + kRunStop, WithoutTimestamps(log.Read()));
}

TEST(InstallLog, IsEmptiedOnlyFrom100KiB) {
    zktest::FreshInstallLog log;
    const std::string justUnder(102399, 'x');
    zktest::WriteFileBytes(zktest::InstallLogPath(), justUnder);
    OneRun(NoMessages);
    std::string text = log.Read();
    ASSERT_GT(text.size(), justUnder.size());
    EXPECT_EQ(justUnder, text.substr(0, justUnder.size()));
    EXPECT_EQ(std::string(kRunStart) + kRunStop, WithoutTimestamps(text.substr(justUnder.size())));

    zktest::WriteFileBytes(zktest::InstallLogPath(), std::string(102400, 'y'));
    OneRun(NoMessages);
    EXPECT_EQ(std::string(kHeader) + kRunStart + kRunStop, WithoutTimestamps(log.Read()));
}

TEST(InstallLog, MessagesAreIndentedAndKeepTheirOwnLineEnds) {
    zktest::FreshInstallLog log;
    OneRun([](DeviceContext* context) {
        LogMessage(context, "plain %d\n", 7);
        LogMessage(context, "carriage return and line feed\r\n");
        LogMessage(context, "no line end,");
        LogAbsent(context, "continued %s\n", nullptr);
    });
    EXPECT_EQ(std::string(kHeader) + kRunStart +
                  "   plain 7\r\n"
                  "   carriage return and line feed\r\r\n"
                  "   no line end,   continued (null)\r\n" +
                  kRunStop,
              WithoutTimestamps(log.Read()));
}

TEST(InstallLog, TimeStampsAreLocalTimeInTheLogsOrder) {
    zktest::FreshInstallLog log;
    SYSTEMTIME before;
    GetLocalTime(&before);
    OneRun(NoMessages);
    std::string text = log.Read();
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    char expected[64];
    (void)snprintf(expected, sizeof(expected),
                   "Start co-installer: [%s %s %02u %u:", months[before.wMonth - 1],
                   days[before.wDayOfWeek], before.wDay, before.wHour);
    // Unless the clock crossed an hour while the test ran, the start line
    // carries this reading's date and hour.
    SYSTEMTIME after;
    GetLocalTime(&after);
    if (after.wHour == before.wHour) {
        EXPECT_NE(std::string::npos, text.find(expected)) << text;
    }
}

TEST(InstallLog, AFileHeldOpenByAnotherOwnerLosesTheRunWithoutHarm) {
    zktest::FreshInstallLog log;
    zktest::WriteFileBytes(zktest::InstallLogPath(), "kept\r\n");
    HANDLE holder = CreateFileA(zktest::InstallLogPath().c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    DeviceContext* context = GetDeviceContext(kHandle);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(nullptr, context->logStream);
    LogMessage(context, "dropped\n");
    CloseHandle(holder);
    LogMessage(context, "written\n");
    ReleaseDeviceContext(context);
    EXPECT_EQ(std::string("kept\r\n") + kRunStart + "   written\r\n" + kRunStop,
              WithoutTimestamps(log.Read()));
}

}  // namespace
