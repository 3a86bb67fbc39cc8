// Closing an owner never disturbs the thread's last error: callers read
// GetLastError() after the owner of the failed call's handle has gone.
#include <windows.h>
#include <gtest/gtest.h>
#include <setupapi.h>

#include <cstdio>
#include <string>

#include "common/win_handles.h"
#include "core/tracked_alloc.h"

namespace {

const DWORD kSentinel = 0x20A1B2C3;

std::string TempPath(const char* name) {
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, folder);
    EXPECT_TRUE(length > 0 && length < MAX_PATH);
    return std::string(folder) + name;
}

// Sets the sentinel, lets owner close its handle, and checks the sentinel.
template <typename Owner>
void ExpectCloseKeepsLastError(Owner owner, const char* what) {
    ASSERT_TRUE(owner) << what << " did not open";
    SetLastError(kSentinel);
    owner.Reset();
    EXPECT_EQ(kSentinel, GetLastError()) << what << ": Reset";
}

TEST(Owners, ClosingAnyOwnerKeepsTheThreadsLastError) {
    std::string filePath = TempPath("zk_owners_test.tmp");
    FILE* file = fopen(filePath.c_str(), "wb");
    ExpectCloseKeepsLastError(zk::UniqueStdioFile(file), "stdio file");
    ExpectCloseKeepsLastError(
        zk::UniqueFileHandle(CreateFileA(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr)),
        "file handle");
    WIN32_FIND_DATAA found;
    ExpectCloseKeepsLastError(zk::UniqueFindHandle(FindFirstFileA(filePath.c_str(), &found)),
                              "find handle");
    DeleteFileA(filePath.c_str());

    ExpectCloseKeepsLastError(zk::UniqueHandle(CreateMutexA(nullptr, FALSE, nullptr)), "mutex");
    zk::UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, key.Receive()));
    ExpectCloseKeepsLastError(std::move(key), "registry key");
    ExpectCloseKeepsLastError(zk::UniqueGlobal(GlobalAlloc(GMEM_FIXED, 16)), "global block");
    ExpectCloseKeepsLastError(
        zk::UniqueServiceHandle(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)),
        "service manager");
    ExpectCloseKeepsLastError(zk::UniqueDevInfo(SetupDiCreateDeviceInfoList(nullptr, nullptr)),
                              "device information set");
    const GUID imageClass = {
        0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
    ExpectCloseKeepsLastError(zk::UniqueSetupRegKey(SetupDiOpenClassRegKey(&imageClass, KEY_READ)),
                              "class key");

    std::string infPath = TempPath("zk_owners_test.inf");
    FILE* inf = fopen(infPath.c_str(), "wb");
    ASSERT_NE(nullptr, inf);
    EXPECT_NE(EOF, fputs("[Version]\r\nSignature=\"$Windows NT$\"\r\n", inf));
    ASSERT_EQ(0, fclose(inf));
    ExpectCloseKeepsLastError(
        zk::UniqueInf(SetupOpenInfFileA(infPath.c_str(), nullptr, INF_STYLE_WIN4, nullptr)),
        "INF handle");
    DeleteFileA(infPath.c_str());
}

TEST(Owners, DestroyingAnOwnerKeepsTheThreadsLastError) {
    {
        zk::UniqueHandle mutex(CreateMutexA(nullptr, FALSE, nullptr));
        ASSERT_TRUE(mutex);
        SetLastError(kSentinel);
    }
    EXPECT_EQ(kSentinel, GetLastError());
    {
        TrackedBuffer block(64);
        ASSERT_TRUE(block);
        SetLastError(kSentinel);
    }
    EXPECT_EQ(kSentinel, GetLastError()) << "tracked buffer";
}

}  // namespace
