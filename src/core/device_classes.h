// The setup classes the package deals with: their GUIDs, the braced text of
// the GUIDs (the names of their class keys), and the two classes the package's
// devices belong to, with the name zkcoinst.ini and the web-update program
// know them by.
#pragma once

#include <windows.h>
#include <setupapi.h>

// A setup class: its GUID and that GUID as the braced text its class key is
// named by.
struct SetupClass {
    GUID guid;
    const char* keyName;
};

inline constexpr SetupClass kImageSetupClass = {
    {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}},
    "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"};
inline constexpr SetupClass kMediaSetupClass = {
    {0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}},
    "{4D36E96C-E325-11CE-BFC1-08002BE10318}"};
inline constexpr SetupClass kVolumeSetupClass = {
    {0x71A27CDD, 0x812A, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}},
    "{71A27CDD-812A-11D0-BEC7-08002BE2092F}"};

// The device classes the package knows. className is both the key looked up
// in zkcoinst.ini and the web-update program's "-f" argument.
struct KestrClass {
    const char* className;
    GUID classGuid;
};

// The rows of KestrClassTable, by name: a caller asks for a class by its row,
// never by a number that happens to be its position.
enum KestrClassRow : int {
    kAudioClassRow = 0,  // "Audio", the Media class
    kVideoClassRow = 1,  // "Video", the Image class
    kKestrClassCount = 2,
};
inline constexpr KestrClass KestrClassTable[kKestrClassCount] = {
    {"Audio", kMediaSetupClass.guid},
    {"Video", kImageSetupClass.guid},
};

// The KestrClassTable row of the device's setup class; -1 for any other class
// or when there is no device data. Every row is compared, so were two rows to
// match, the later would win.
int GetDeviceClassIndex(const SP_DEVINFO_DATA* deviceInfoData);
