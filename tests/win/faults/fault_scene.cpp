#include "fault_scene.h"

#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>

#include <setupapi.h>

#include <cstdio>
#include <cstring>

#include "common/win_handles.h"
#include "entry/coinstaller_entry.h"
#include "core/device_context.h"
#include "core/dif_codes.h"
#include "entry/setup_entry.h"
#include "core/system_message.h"
#include "core/tracked_alloc.h"
#include "harness/device_install.h"
#include "launch_fixtures.h"
#include "maker_folders.h"
#include "preserve_fixtures.h"
#include "registry_guard.h"
#include "test_support.h"

namespace faults {

using namespace std::string_literals;

namespace {

const char kScratchKey[] = "SOFTWARE\\ZkFaultMatrixScratch";
const char kFaultMatrixKey[] = "SOFTWARE\\ZkFaultMatrix";

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The section the camera INF installs with, run in every installation.
const char kBaselineControlFile[] = "[CamInstall]\r\n99,DisableAutoPlay\r\n";

// The bandwidth monitor's service values exactly as the package writes them
// (strings by their length, without the terminator).
void WriteMonitorServiceValues() {
    std::string key = dstest::ServiceKeyPath("ZKUSBSta");
    std::string display = "Marvanto USB Monitor Filter";
    std::string image = "system32\\drivers\\ZKUSBSta.sys";
    const DWORD type = 1, start = 3, errorControl = 1;
    PlantValue(key, "DisplayName", REG_SZ, display);
    PlantValue(key, "Type", REG_DWORD, std::string(reinterpret_cast<const char*>(&type), 4));
    PlantValue(key, "Start", REG_DWORD, std::string(reinterpret_cast<const char*>(&start), 4));
    PlantValue(key, "ErrorControl", REG_DWORD,
               std::string(reinterpret_cast<const char*>(&errorControl), 4));
    PlantValue(key, "ImagePath", REG_SZ, image);
}

// The first hardware ID of the matrix's devices: its own, so that the devices
// its installations register can be found and removed again. The second is
// the camera INF's model ID, which selects the driver.
const char kDeviceId[] = "USB\\VID_1BCF&PID_2C6A&REV_FA17&MI_00";
const char kModelId[] = "USB\\VID_1BCF&PID_2C6A&MI_00";

// Removes the devices (with their driver keys) that the installations
// registered.
void RemoveMatrixDevices() {
    const GUID imageClass = {
        0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
    HDEVINFO set = SetupDiGetClassDevsA(&imageClass, nullptr, nullptr, 0);
    if (set == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof(data);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &data); ++index) {
        char ids[512] = {};
        if (SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, nullptr,
                                              reinterpret_cast<BYTE*>(ids), sizeof(ids) - 2,
                                              nullptr) &&
            strcmp(ids, kDeviceId) == 0) {
            SetupDiDeleteDevRegKey(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_BOTH);
            SetupDiRemoveDevice(set, &data);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
}

// A program that holds a file open until it is told to let go.
class LockingProcess {
public:
    explicit LockingProcess(const std::string& path) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string stem = std::string(temp) + "zk_fault_locker_" +
                           std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++count_);
        ready_ = stem + ".ready";
        release_ = stem + ".release";
        zktest::RemoveFile(ready_);
        zktest::RemoveFile(release_);
        std::string locker = std::string("Z:") + ZK_FILE_LOCKER;
        for (char& c : locker) {
            c = c == '/' ? '\\' : c;
        }
        std::string commandLine =
            "\"" + locker + "\" \"" + path + "\" \"" + ready_ + "\" \"" + release_ + "\"";
        STARTUPINFOA startup;
        memset(&startup, 0, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
            return;
        }
        zk::UniqueHandle thread(process.hThread);
        process_.Reset(process.hProcess);
        for (int waited = 0; waited < 200 && !zktest::FileExists(ready_); ++waited) {
            Sleep(50);
        }
        EXPECT_TRUE(zktest::FileExists(ready_)) << path << " was not locked";
    }
    ~LockingProcess() {
        if (process_) {
            zktest::WriteFileBytes(release_, "");
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process_.Get(), 20000));
        }
        zktest::RemoveFile(ready_);
        zktest::RemoveFile(release_);
    }
    LockingProcess(const LockingProcess&) = delete;
    LockingProcess& operator=(const LockingProcess&) = delete;

private:
    static int count_;
    zk::UniqueHandle process_;
    std::string ready_;
    std::string release_;
};
int LockingProcess::count_ = 0;

std::string ReadCapturedOutput(const std::string& path) {
    std::string text = zktest::ReadFileBytes(path);
    zktest::RemoveFile(path);
    return text;
}

bool SameValue(const RawValue& a, const RawValue& b) {
    return a.exists == b.exists && (!a.exists || (a.type == b.type && a.bytes == b.bytes));
}

bool SameFile(const FileState& a, const FileState& b) {
    return a.exists == b.exists && a.directory == b.directory && a.bytes == b.bytes;
}

std::string Describe(const FileState& file) {
    if (!file.exists) {
        return "(missing)";
    }
    if (file.directory) {
        return "(directory)";
    }
    RawValue asValue;
    asValue.exists = true;
    asValue.bytes = file.bytes;
    return Describe(asValue);
}

}  // namespace

RawValue ReadRaw(const std::string& key, const std::string& name) {
    RawValue value;
    zk::UniqueRegKey handle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), 0, KEY_QUERY_VALUE,
                      handle.Receive()) != 0) {
        return value;
    }
    std::wstring wideName = Wide(name);
    DWORD size = 0;
    if (RegQueryValueExW(handle.Get(), wideName.c_str(), nullptr, &value.type, nullptr, &size) ==
        0) {
        std::string bytes(size, '\0');
        if (RegQueryValueExW(handle.Get(), wideName.c_str(), nullptr, &value.type,
                             reinterpret_cast<BYTE*>(&bytes[0]), &size) == 0) {
            value.exists = true;
            bytes.resize(size);
            value.bytes = bytes;
        }
    }
    return value;
}

RawValue StoredForm(DWORD type, const std::string& ansiBytes) {
    PlantValue(kScratchKey, "v", type, ansiBytes);
    RawValue value = ReadRaw(kScratchKey, "v");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kScratchKey);
    return value;
}

std::string Describe(const RawValue& value) {
    if (!value.exists) {
        return "(missing)";
    }
    std::string text = "type " + std::to_string(value.type) + ", " +
                       std::to_string(value.bytes.size()) + " bytes:";
    size_t shown = value.bytes.size() < 160 ? value.bytes.size() : 160;
    char hex[4];
    for (size_t i = 0; i < shown; ++i) {
        (void)snprintf(hex, sizeof(hex), " %02x", static_cast<unsigned char>(value.bytes[i]));
        text += hex;
    }
    if (shown < value.bytes.size()) {
        text += " ...";
    }
    return text;
}

FileState ReadFileState(const std::string& path) {
    FileState state;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return state;
    }
    state.exists = true;
    state.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!state.directory) {
        state.bytes = zktest::ReadFileBytes(path);
    }
    return state;
}

std::string SystemText(DWORD error) {
    char text[MAX_PATH];
    GetSystemMessageText(error, text, sizeof(text));
    std::string result = text;
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
        result.pop_back();
    }
    return result;
}

void PlantValue(const std::string& key, const char* name, DWORD type, const std::string& bytes) {
    dstest::WriteValue(key, name, type, bytes);
}

void RemoveValue(const std::string& key, const char* name) {
    dstest::DeleteValue(key, name);
}

FileGuard::FileGuard(const std::string& path)
    : path_(path), attributes_(GetFileAttributesA(path.c_str())) {
    if (attributes_ != INVALID_FILE_ATTRIBUTES && (attributes_ & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        bytes_ = zktest::ReadFileBytes(path);
    }
}

FileGuard::~FileGuard() {
    zktest::RemoveTree(path_);
    zktest::RemoveFile(path_);
    if (attributes_ == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (attributes_ & FILE_ATTRIBUTE_DIRECTORY) {
        CreateDirectoryA(path_.c_str(), nullptr);
        return;
    }
    zktest::WriteFileBytes(path_, bytes_);
    SetFileAttributesA(path_.c_str(), attributes_);
}

DeniedKey::DeniedKey(const std::string& key) : key_(key) {
    zk::UniqueRegKey handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, READ_CONTROL | WRITE_DAC,
                      handle.Receive()) != 0) {
        ADD_FAILURE() << "cannot open " << key;
        return;
    }
    DWORD size = 0;
    RegGetKeySecurity(handle.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    LONG read = RegGetKeySecurity(handle.Get(), DACL_SECURITY_INFORMATION, saved_.data(), &size);
    PSECURITY_DESCRIPTOR denyAll = nullptr;
    BOOL made = ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:(D;;GA;;;WD)", SDDL_REVISION_1, &denyAll, nullptr);
    if (read == 0 && made) {
        EXPECT_EQ(0, RegSetKeySecurity(handle.Get(), DACL_SECURITY_INFORMATION, denyAll)) << key;
    } else {
        saved_.clear();
        ADD_FAILURE() << "cannot deny " << key;
    }
    if (denyAll != nullptr) {
        LocalFree(denyAll);
    }
}

DeniedKey::~DeniedKey() {
    if (saved_.empty()) {
        return;
    }
    zk::UniqueRegKey handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, WRITE_DAC, handle.Receive()) != 0) {
        ADD_FAILURE() << "cannot give back access to " << key_;
        return;
    }
    EXPECT_EQ(0, RegSetKeySecurity(handle.Get(), DACL_SECURITY_INFORMATION, saved_.data())) << key_;
}

Scene::Watched* Scene::Find(bool isValue, const std::string& key, const std::string& name) {
    for (Watched& w : watched_) {
        if (w.isValue == isValue && _stricmp(w.key.c_str(), key.c_str()) == 0 &&
            _stricmp(w.name.c_str(), name.c_str()) == 0) {
            return &w;
        }
    }
    watched_.push_back(Watched{isValue, key, name, false, {}, {}, {}, {}});
    return &watched_.back();
}

void Scene::WatchValue(const std::string& key, const std::string& name) {
    Find(true, key, name);
}

void Scene::WatchFile(const std::string& path) {
    Find(false, "", path);
}

void Scene::ExpectValue(const std::string& key, const std::string& name, DWORD type,
                        const std::string& ansiBytes) {
    Watched* w = Find(true, key, name);
    w->expected = true;
    w->value = StoredForm(type, ansiBytes);
}

void Scene::ExpectNoValue(const std::string& key, const std::string& name) {
    Watched* w = Find(true, key, name);
    w->expected = true;
    w->value = RawValue();
}

void Scene::ExpectFile(const std::string& path, const std::string& bytes) {
    Watched* w = Find(false, "", path);
    w->expected = true;
    w->file.exists = true;
    w->file.directory = false;
    w->file.bytes = bytes;
}

void Scene::ExpectNoFile(const std::string& path) {
    Watched* w = Find(false, "", path);
    w->expected = true;
    w->file = FileState();
}

void Scene::ExpectDirectory(const std::string& path) {
    Watched* w = Find(false, "", path);
    w->expected = true;
    w->file.exists = true;
    w->file.directory = true;
}

void Scene::ControlText(const std::string& text) {
    zktest::WriteFileBytes(zktest::SystemDirectory() + "\\zkcoinst.ini", text);
}

void Scene::Section(const std::string& lines) {
    ControlText("[CamInstall]\r\n" + lines);
}

// Everything the co-installer may write in a run, watched in every row.
struct SceneDriver {
    static void WatchDefaults(Scene& scene) {
        const char* filterClasses[] = {dstest::kImageClass, dstest::kMediaClass,
                                       dstest::kVolumeClass};
        for (const char* guid : filterClasses) {
            scene.WatchValue(dstest::ClassKeyPath(guid), "LowerFilters");
            scene.WatchValue(dstest::ClassKeyPath(guid), "UpperFilters");
        }
        for (const char* name : {"DisplayName", "Type", "Start", "ErrorControl", "ImagePath"}) {
            scene.WatchValue(dstest::ServiceKeyPath("ZKUSBSta"), name);
        }
        for (const char* name :
             {"DisplayName", "Type", "Start", "ErrorControl", "ImagePath", "Group"}) {
            scene.WatchValue(dstest::ServiceKeyPath("ZkClsUpr"), name);
        }
        scene.WatchValue(kSessionManager, kPendingRenames);
        scene.WatchValue(kDrivers32, "VIDC.I420");
        std::string windows = zktest::WindowsDirectory();
        std::string system = zktest::SystemDirectory();
        for (const char* suffix : {"", ".bak", ".new"}) {
            scene.WatchFile(windows + "\\WinInit.ini" + suffix);
        }
        scene.WatchFile(system + "\\zkcoinst.ini");
        const std::string installed[] = {windows + "\\TWAIN_32\\Pictavue\\zkWIAext.dll",
                                         windows + "\\TWAIN_32\\Pictavue\\zksf.dll",
                                         system + "\\ZKCodec2.dll",
                                         system + "\\ZKUI2.dll",
                                         system + "\\ZKUI2RC.dll",
                                         windows + "\\system32\\drivers\\ZKUSBSta.sys"};
        for (const std::string& path : installed) {
            scene.WatchFile(path);
            scene.WatchFile(path + ".new");
            scene.WatchFile(path + ".old");
        }
    }

    static void Record(Scene& scene, bool after) {
        for (Scene::Watched& w : scene.watched_) {
            if (w.isValue) {
                RawValue now = ReadRaw(w.key, w.name);
                if (!after) {
                    w.valueBefore = now;
                    continue;
                }
                const RawValue& wanted = w.expected ? w.value : w.valueBefore;
                EXPECT_TRUE(SameValue(wanted, now))
                    << w.key << " \"" << w.name << "\"" << (w.expected ? "" : " changed")
                    << "\n  expected " << Describe(wanted) << "\n  found    " << Describe(now);
            } else {
                FileState now = ReadFileState(w.name);
                if (!after) {
                    w.fileBefore = now;
                    continue;
                }
                const FileState& wanted = w.expected ? w.file : w.fileBefore;
                EXPECT_TRUE(SameFile(wanted, now))
                    << w.name << (w.expected ? "" : " changed") << "\n  expected "
                    << Describe(wanted) << "\n  found    " << Describe(now);
            }
        }
    }

    static void CheckLog(const Scene& scene, const std::string& log) {
        std::vector<std::string> messages = dstest::LogMessages(log);
        std::string all;
        for (const std::string& message : messages) {
            all += "\n    " + message;
        }
        for (const std::string& wanted : scene.logged_) {
            bool found = false;
            for (const std::string& message : messages) {
                found = found || message == wanted;
            }
            EXPECT_TRUE(found) << "not logged: " << wanted << "\n  the run logged:" << all;
        }
        for (const std::string& part : scene.notLogged_) {
            for (const std::string& message : messages) {
                EXPECT_EQ(std::string::npos, message.find(part))
                    << "logged: " << message << "\n  the run logged:" << all;
            }
        }
    }

    static void Drive(Scene& scene) {
        std::string logPath = zktest::InstallLogPath();
        FileState logBefore = ReadFileState(logPath);
        Record(scene, false);

        std::vector<zk::UniqueFileHandle> opened;
        for (const Scene::Open& open : scene.opens_) {
            opened.emplace_back(CreateFileA(open.path.c_str(), GENERIC_READ, open.share, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            EXPECT_TRUE(opened.back().IsValid()) << open.path;
        }
        std::vector<std::unique_ptr<LockingProcess>> lockers;
        for (const std::string& path : scene.childOpens_) {
            lockers.push_back(std::make_unique<LockingProcess>(path));
        }
        std::vector<std::unique_ptr<DeniedKey>> denied;
        for (const std::string& key : scene.denied_) {
            denied.push_back(std::make_unique<DeniedKey>(key));
        }

        // The monitor's one message goes to the standard output: caught in a file.
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string outputPath =
            std::string(temp) + "zk_fault_stdout_" + std::to_string(GetCurrentProcessId());
        // What is printed before the run must not land in the run's capture.
        EXPECT_EQ(0, fflush(stdout));
        int savedOutput = _dup(1);
        int captured = _open(outputPath.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                             _S_IREAD | _S_IWRITE);
        _dup2(captured, 1);
        _close(captured);

        TrackedUsage usageBefore = GetTrackedUsage();
        uint32_t contextsBefore = GetDeviceContextCount();
        InstallReport report;
        if (scene.run == Run::Installation) {
            InstallOptions options;
            options.infPath = zktest::StagedExampleInf();
            options.hardwareIds = {kDeviceId, kModelId};
            options.quiet = true;
            report = InstallWithCoInstaller(options, ZkCoInstaller);
            RemoveMatrixDevices();
        } else {
            std::string section = scene.setupSection;
            SetupEntryPoint(nullptr, GetModuleHandleA(nullptr), &section[0], SW_SHOWNORMAL);
        }
        TrackedUsage usageAfter = GetTrackedUsage();
        uint32_t contextsAfter = GetDeviceContextCount();

        // Checked once the standard output is back: a failure printed now
        // would land in the capture.
        int flushed = fflush(stdout);
        _dup2(savedOutput, 1);
        _close(savedOutput);
        EXPECT_EQ(0, flushed) << "the run's output could not be flushed into its capture";
        std::string printed = ReadCapturedOutput(outputPath);

        while (!denied.empty()) {
            denied.pop_back();
        }
        lockers.clear();
        opened.clear();

        // The installation answers as it must whatever was planted: the
        // co-installer never fails it for its own reasons.
        if (scene.run == Run::Installation) {
            ASSERT_TRUE(report.ok) << report.error;
            bool preProcessed = false;
            bool postProcessed = false;
            for (const CallRecord& call : report.calls) {
                bool pre = call.code == DIF_INSTALLDEVICE && !call.postProcessing;
                preProcessed = preProcessed || pre;
                postProcessed = postProcessed || (call.code == DIF_INSTALLDEVICE && !pre);
                DWORD expected = pre ? kPostProcessingRequired : static_cast<DWORD>(NO_ERROR);
                EXPECT_EQ(expected, call.result) << DifCodeName(call.code);
            }
            EXPECT_TRUE(preProcessed && postProcessed);
        }
        EXPECT_EQ(usageBefore.blocks, usageAfter.blocks);
        EXPECT_EQ(usageBefore.bytes, usageAfter.bytes);
        EXPECT_EQ(contextsBefore, contextsAfter);

        Record(scene, true);
        for (const std::string& line : scene.printed_) {
            EXPECT_NE(std::string::npos, printed.find(line + "\n"))
                << "not printed: " << line << "\n  printed: " << printed;
        }
        FileState logAfter = ReadFileState(logPath);
        if (scene.logUntouched_) {
            EXPECT_TRUE(SameFile(logBefore, logAfter)) << "the log changed:\n" << logAfter.bytes;
        } else {
            // Whatever was there before stays, and the run follows it whole.
            ASSERT_TRUE(logAfter.exists && !logAfter.directory);
            EXPECT_EQ(0u, logAfter.bytes.compare(0, logBefore.bytes.size(), logBefore.bytes));
            EXPECT_EQ(1u, zktest::CountOf(logAfter.bytes, "Stop co-installer:"));
            CheckLog(scene, logAfter.bytes);
        }
    }
};

void RunRow(const std::function<void(Scene&)>& plant) {
    zktest::FreshInstallLog log;
    std::string system = zktest::SystemDirectory();
    ASSERT_FALSE(dstest::ServiceExists("zkmvdrv")) << "the prefix has a zkmvdrv service";
    ASSERT_FALSE(zktest::FileExists(system + "\\drivers\\zkmvdrv.sys"));
    ASSERT_FALSE(zktest::FileExists(zktest::CommonFilesDirectory() + "\\Marvshrd"));
    ASSERT_FALSE(zktest::FileExists(zktest::CommonFilesDirectory() + "\\Marvanto"));

    // The baseline: every list already holds what a run adds, the monitor's
    // service is installed with its driver file and values, the codec is
    // registered, and only the zkmvdrv filter is an orphan (its service and
    // file are missing), so a run without faults rewrites nothing.
    dstest::KeyGuard image(dstest::ClassKeyPath(dstest::kImageClass),
                           {"LowerFilters", "UpperFilters"});
    dstest::KeyGuard media(dstest::ClassKeyPath(dstest::kMediaClass),
                           {"LowerFilters", "UpperFilters"});
    dstest::KeyGuard volume(dstest::ClassKeyPath(dstest::kVolumeClass),
                            {"LowerFilters", "UpperFilters"});
    dstest::KeyGuard monitorKey(dstest::ServiceKeyPath("ZKUSBSta"),
                                {"DisplayName", "Type", "Start", "ErrorControl", "ImagePath"});
    dstest::KeyGuard storageKey(
        dstest::ServiceKeyPath("ZkClsUpr"),
        {"DisplayName", "Type", "Start", "ErrorControl", "ImagePath", "Group"});
    dstest::KeyGuard codec(kDrivers32, {"VIDC.I420"});
    dstest::KeyGuard values(kFaultMatrixKey, {});
    zktest::SavedPendingRenames pending;
    zktest::SavedWinInit winInit;
    FileGuard control(system + "\\zkcoinst.ini");
    dstest::TestService monitorService("zkusbsta");
    dstest::TestFile monitorFile(system + "\\drivers\\zkusbsta.sys");
    // The storage filter's driver file is there too (its service is not).
    dstest::TestFile storageFile(system + "\\drivers\\zkclsupr.sys");
    WriteMonitorServiceValues();
    const std::string oneMonitor = "ZKUSBSta\0\0"s;
    PlantValue(dstest::ClassKeyPath(dstest::kImageClass), "LowerFilters", REG_MULTI_SZ, oneMonitor);
    PlantValue(dstest::ClassKeyPath(dstest::kMediaClass), "LowerFilters", REG_MULTI_SZ, oneMonitor);
    RemoveValue(dstest::ClassKeyPath(dstest::kImageClass), "UpperFilters");
    RemoveValue(dstest::ClassKeyPath(dstest::kMediaClass), "UpperFilters");
    RemoveValue(dstest::ClassKeyPath(dstest::kVolumeClass), "UpperFilters");
    RemoveValue(dstest::ClassKeyPath(dstest::kVolumeClass), "LowerFilters");
    PlantValue(kDrivers32, "VIDC.I420", REG_SZ, "zkcodec2.dll\0"s);
    PlantValue(kValuesKey, "baseline", REG_DWORD, std::string(4, '\0'));
    zktest::WriteFileBytes(system + "\\zkcoinst.ini", kBaselineControlFile);

    Scene scene;
    SceneDriver::WatchDefaults(scene);
    plant(scene);
    if (testing::Test::HasFatalFailure()) {
        return;
    }
    SceneDriver::Drive(scene);
}

}  // namespace faults
