// Fixtures of the companion-program tests: a device with a driver selected
// from an INF written for the test, the control file, registered programs,
// and the recording stub standing in for the programs that get started.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "common/win_handles.h"
#include "test_support.h"

struct DeviceContext;

namespace zktest {

inline constexpr GUID kImageClassGuid = {
    0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
inline constexpr GUID kMediaClassGuid = {
    0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
// A class the package does not know (Ports).
inline constexpr GUID kOtherClassGuid = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

const char kCameraId[] = "USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00";

// The Windows version the test program reports ("winxp", "win7", ...), or "".
std::string TestWindowsVersion();

// What goes into the INF written for a test device.
struct TestInf {
    std::string driverVer = "01/15/2008,1.2.30.400";
    std::string manufacturer = "Some Maker";
    std::string section = "CamInstall.NT";
    bool withDriverVer = true;
};

// A device of the given class with the given hardware IDs (the first one is
// the INF's model ID), and the best driver of the test INF selected. Nothing
// is registered, so nothing outlives it.
class TestDevice {
public:
    TestDevice(const GUID& classGuid, const std::vector<std::string>& hardwareIds,
               const TestInf& inf = TestInf());
    bool Ready() const { return ready_; }
    HDEVINFO Set() const { return set_.Get(); }
    PSP_DEVINFO_DATA Data() { return &data_; }
    void SetInstallFlags(DWORD flags);

private:
    void Prepare(const GUID& classGuid, const std::vector<std::string>& hardwareIds,
                 const std::string& infPath);

    ScratchDirectory folder_;
    zk::UniqueDevInfo set_;
    SP_DEVINFO_DATA data_;
    bool ready_ = false;
};

// A context of its own for a test, released (its log run ended) by Finish or
// the destructor; the log is read after that.
class TestContext {
public:
    TestContext();
    ~TestContext();
    DeviceContext* Get() const { return context_; }
    // Releases the context and returns the log without time stamps.
    std::string Finish();

private:
    FreshInstallLog log_;
    DeviceContext* context_;
};

// zkcoinst.ini in the system directory with the given text; the previous file
// (or none) comes back afterwards.
class ControlFile {
public:
    explicit ControlFile(const std::string& text);
    ~ControlFile();

private:
    std::string path_;
    bool existed_;
    std::string previous_;
};

// The recording stub copied to path (a Windows path), removed afterwards with
// any folders created for it.
class InstalledStub {
public:
    explicit InstalledStub(const std::string& path);
    ~InstalledStub();

private:
    std::string path_;
    std::vector<std::string> createdFolders_;
};

// Points the stub's record at a file of this test and reads what it recorded.
class StubRecord {
public:
    StubRecord();
    ~StubRecord();
    struct Entry {
        std::string program;
        std::string commandLine;
        std::string folder;
    };
    // Started programs are not waited for: waits up to seconds for count.
    std::vector<Entry> Read(size_t count, int seconds = 10) const;

private:
    std::string path_;
};

// One entry under HKLM\SOFTWARE\Marvanto\ZKCoInstaller; all entries and the key
// itself (when the fixtures made it) are removed by RegisteredApps' destructor.
class RegisteredApps {
public:
    RegisteredApps();
    ~RegisteredApps();
    void SetString(const std::string& entry, const char* name, const std::string& value);
    void SetBytes(const std::string& entry, const char* name, const std::string& bytes,
                  DWORD type = REG_BINARY);
    void SetDword(const std::string& entry, const char* name, DWORD value);
    // A complete entry: Path, Name and Parameters, and the phase flags.
    void Add(const std::string& entry, const std::string& path, const std::string& name,
             const std::string& parameters, int preInstall, int postInstall);

private:
    bool createdMaker_ = false;
    bool createdKey_ = false;
};

}  // namespace zktest
