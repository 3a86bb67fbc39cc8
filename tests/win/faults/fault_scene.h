// The stage of the fault matrix: a baseline prefix state in which a normal run
// of the co-installer rewrites nothing, the faults a row plants on it, and the
// record of everything the run may write, taken before and compared after.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace faults {

inline constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr char kPendingRenames[] = "PendingFileRenameOperations";
inline constexpr char kDrivers32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
// The HKLM key the setup-action rows write values under.
inline constexpr char kValuesKey[] = "SOFTWARE\\ZkFaultMatrix\\Values";

// An HKLM value as stored: its type and bytes through the wide API, so that
// nothing is added to or taken from what the registry holds.
struct RawValue {
    bool exists = false;
    DWORD type = 0;
    std::string bytes;
};
RawValue ReadRaw(const std::string& key, const std::string& name);
// How the registry stores an ANSI write of these bytes with this type.
RawValue StoredForm(DWORD type, const std::string& ansiBytes);
std::string Describe(const RawValue& value);

// A file system entry as found: missing, a directory, or a file and its bytes.
struct FileState {
    bool exists = false;
    bool directory = false;
    std::string bytes;
};
FileState ReadFileState(const std::string& path);

// The system's English text for an error, without its line break.
std::string SystemText(DWORD error);

// Writes an HKLM value through the ANSI API, creating the key.
void PlantValue(const std::string& key, const char* name, DWORD type, const std::string& bytes);
void RemoveValue(const std::string& key, const char* name);

// Puts a file system entry back as it was when the guard was made (a file with
// its bytes and attributes, a directory tree's top, or nothing).
class FileGuard {
public:
    explicit FileGuard(const std::string& path);
    ~FileGuard();
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;

private:
    std::string path_;
    DWORD attributes_;
    std::string bytes_;
};

// A key whose DACL denies everyone everything for the guard's life; the owner
// can still change the DACL, which is how the guard puts the old one back.
class DeniedKey {
public:
    explicit DeniedKey(const std::string& key);
    ~DeniedKey();
    DeniedKey(const DeniedKey&) = delete;
    DeniedKey& operator=(const DeniedKey&) = delete;

private:
    std::string key_;
    std::vector<BYTE> saved_;
};

enum class Run {
    Installation,  // the device installer's DIF sequence through the harness
    SetupEntry,    // rundll32's entry with a section name
};

// What one row plants and expects. Everything a row holds is released in the
// reverse order of its making, before the baseline is put back.
class Scene {
public:
    // Keeps a guard or fixture alive until the row ends.
    template <typename T, typename... Args>
    T& Hold(Args&&... args) {
        auto owned = std::make_shared<T>(std::forward<Args>(args)...);
        held_.push_back(owned);
        return *owned;
    }

    // The run may write these; compared byte for byte after it.
    void WatchValue(const std::string& key, const std::string& name);
    void WatchFile(const std::string& path);
    // What the run is meant to leave; implies watching.
    void ExpectValue(const std::string& key, const std::string& name, DWORD type,
                     const std::string& ansiBytes);
    void ExpectNoValue(const std::string& key, const std::string& name);
    void ExpectFile(const std::string& path, const std::string& bytes);
    void ExpectNoFile(const std::string& path);
    void ExpectDirectory(const std::string& path);

    // Log messages (without their line ends) that must be there, and texts
    // that no message may contain.
    void Logged(const std::string& message) { logged_.push_back(message); }
    void NotLogged(const std::string& part) { notLogged_.push_back(part); }
    // A line the run must print on the process's standard output.
    void Printed(const std::string& line) { printed_.push_back(line); }
    // The whole log must stay as it is (the run cannot open it).
    void LogUntouched() { logUntouched_ = true; }

    // Opened after the data is recorded and closed once the run is over, so
    // that the record reads what the handle hides from the run.
    void HoldOpen(const std::string& path, DWORD share) { opens_.push_back({path, share}); }
    // The same, by another process that lets others read the file and nothing
    // else, as a running program holds its DLL.
    void HoldOpenInOtherProcess(const std::string& path) { childOpens_.push_back(path); }
    // A key that the run cannot open: its DACL denies everything from after
    // the data is recorded until the run is over.
    void DenyDuringRun(const std::string& key) { denied_.push_back(key); }

    Scene() = default;
    ~Scene() {
        while (!held_.empty()) {
            held_.pop_back();
        }
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // The zkcoinst.ini text for this row (the baseline section otherwise).
    void ControlText(const std::string& text);
    void Section(const std::string& lines);

    Run run = Run::Installation;
    std::string setupSection = "FaultSection";

private:
    friend struct SceneDriver;
    struct Watched {
        bool isValue;
        std::string key;
        std::string name;  // the file's path when !isValue
        bool expected;     // false: must be unchanged
        RawValue value;
        FileState file;
        RawValue valueBefore;
        FileState fileBefore;
    };
    Watched* Find(bool isValue, const std::string& key, const std::string& name);
    struct Open {
        std::string path;
        DWORD share;
    };
    std::vector<std::shared_ptr<void>> held_;
    std::vector<Watched> watched_;
    std::vector<std::string> logged_;
    std::vector<std::string> notLogged_;
    std::vector<std::string> printed_;
    std::vector<Open> opens_;
    std::vector<std::string> denied_;
    std::vector<std::string> childOpens_;
    bool logUntouched_ = false;
};

// The baseline every row starts from, the row's plant, the run and the checks.
void RunRow(const std::function<void(Scene&)>& plant);

}  // namespace faults
