// Helpers shared by the test programs that run under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace zktest {

// The texts that name the processor of the build under test: the log header's
// tool name and the codec error line's registry view.
constexpr bool kIs64BitBuild = sizeof(void*) == 8;
constexpr const char* kToolNameLine =
    kIs64BitBuild ? "Tool Name: Audio/Video Coinstaller for 64bit (zkci11701196.dll)\r\n"
                  : "Tool Name: Audio/Video Coinstaller for 32bit (zkci11701196.dll)\r\n";
constexpr const char* kCodecOpenFailed =
    kIs64BitBuild ? "ERROR:  Failed to open \"SOFTWARE\\Microsoft\\Windows "
                    "NT\\CurrentVersion\\Drivers32\" (x64)."
                  : "ERROR:  Failed to open \"SOFTWARE\\Microsoft\\Windows "
                    "NT\\CurrentVersion\\Drivers32\" (x32).";

std::string SystemDirectory();
std::string WindowsDirectory();
std::string InstallLogPath();

// A folder of the source tree (tests/...) as a Windows path, from ZK_TESTS_DIR.
std::string TestsDirectory();

// A fresh, empty scratch folder under the temp directory; removed by the owner.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const char* name);
    ~ScratchDirectory();
    const std::string& Path() const { return path_; }
    std::string File(const char* name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// The example camera package (examples/camera) copied into a scratch folder
// that lives as long as the test program, with a stand-in file for each
// catalog its INF names; returns the copied INF's path. The catalog is made
// when a package is signed, and Wine's SetupDiInstallDevice, which checks no
// signature, reads an unset pointer when the INF's catalog cannot be copied
// (SetupCopyOEMInf fails): a 32-bit test program faults there.
std::string StagedExampleInf();

bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
void RemoveFile(const std::string& path);
void RemoveTree(const std::string& path);

// Deletes the install log now and again when it goes out of scope, so that a
// test sees only its own runs and leaves nothing behind.
class FreshInstallLog {
public:
    FreshInstallLog();
    ~FreshInstallLog();
    std::string Read() const;
};

// The log text with every time stamp replaced by "[T]".
std::string WithoutTimestamps(const std::string& text);

size_t CountOf(const std::string& text, const std::string& part);

}  // namespace zktest
