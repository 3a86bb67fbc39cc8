#include "launch/registered_apps_core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kCameraId[] = "USB\\VID_1A2B&PID_3C4D&MI_00";

TEST(RegisteredApps, KeyNamesSelectDevicesByPidAndInterface) {
    struct Case {
        const char* keyName;
        const char* hardwareId;
        bool applies;
    } cases[] = {
        {"cam_pid_3c4d_mi_00", kCameraId, true},
        {"pid_3c4d&mi_00", kCameraId, true},
        {"CAM&PID_3C4D&MI_00", kCameraId, true},
        {"x&pid_3c4d&mi_01", kCameraId, false},
        {"x&pid_9999&mi_00", kCameraId, false},
        {"x&pid_3c4d", kCameraId, false},      // no "mi_"
        {"x&mi_00", kCameraId, false},         // no "pid_"
        {"pid_3c4", kCameraId, false},         // fewer than eight characters
        {"pid_3c4&mi_0", kCameraId, false},    // "pid_3c4&" is not in the ID
        {"x_mi_00_pid_3c4", kCameraId, true},  // patterns end with the name
        {"ZK ValueAdd Tools", kCameraId, true},
        {"viduruvir", "", true},
        {"pid_3c4d&mi_00", "", false},
        {"pid_3c4d&mi_00", "USB\\VID_1A2B&PID_3C4D", false},
    };
    for (const Case& c : cases) {
        std::string name = c.keyName;
        char id[260] = {};
        memcpy(id, c.hardwareId, strlen(c.hardwareId));
        EXPECT_EQ(c.applies, RegisteredAppApplies(&name[0], name.size() + 1, id, sizeof(id)))
            << c.keyName << " / " << c.hardwareId;
    }
}

TEST(RegisteredApps, MatchingLowerCasesInPlaceAndLooksOnlyAtTheFirstId) {
    // The eight characters from "pid_" in "cam_pid_3c4d_mi_00" are "pid_3c4d";
    // the five from "mi_" are "mi_00". Both occur in the hardware ID below.
    char id[260] = "USB\\VID_1A2B&PID_3C4D_MI_00";
    char name[] = "CAM_PID_3C4D_MI_00";
    EXPECT_EQ(1, MatchesDeviceHardwareId(id, sizeof(id), name, sizeof(name)));
    EXPECT_STREQ("usb\\vid_1a2b&pid_3c4d_mi_00", id);
    EXPECT_STREQ("cam_pid_3c4d_mi_00", name);

    // A later hardware ID of the list is never searched.
    char list[260] = "USB\\VID_1A2B&PID_0000\0USB\\VID_1A2B&PID_3C4D&MI_00\0";
    char name2[] = "pid_3c4d&mi_00";
    EXPECT_EQ(0, MatchesDeviceHardwareId(list, sizeof(list), name2, sizeof(name2)));

    char name3[] = "pid_3c4d&mi_00";
    EXPECT_EQ(0, MatchesDeviceHardwareId(nullptr, 0, name3, sizeof(name3)));
    EXPECT_EQ(0, MatchesDeviceHardwareId(id, sizeof(id), nullptr, 0));

    // Texts without a terminator inside their sizes are not read past them.
    char unterminatedId[8] = {'p', 'i', 'd', '_', '3', 'c', '4', 'd'};
    char unterminatedName[14] = {'p', 'i', 'd', '_', '3', 'c', '4',
                                 'd', '&', 'm', 'i', '_', '0', '0'};
    EXPECT_EQ(0, MatchesDeviceHardwareId(unterminatedId, sizeof(unterminatedId), unterminatedName,
                                         sizeof(unterminatedName)));
}

TEST(RegisteredApps, PhaseFlagsCountOnlyOnTheNtFamily) {
    struct Case {
        bool nt;
        uint32_t pre, post;
        int phase;
        bool wanted;
    } cases[] = {
        {true, 0, 0, 0, false}, {true, 0, 0, 1, false}, {true, 1, 0, 0, true},
        {true, 1, 0, 1, false}, {true, 0, 7, 1, true},  {true, 1, 1, 0, true},
        {true, 1, 1, 1, true},  {false, 0, 0, 0, true}, {false, 0, 0, 1, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.wanted, RegisteredAppWantedInPhase(c.nt, c.pre, c.post, c.phase))
            << c.nt << c.pre << c.post << c.phase;
    }
}

TEST(RegisteredApps, CommandLineQuotesTheProgramPathAndRefusesToCut) {
    struct Case {
        const char* folder;
        const char* name;
        const char* parameters;
        const char* commandLine;
    } cases[] = {
        {"C:\\Program Files\\Zk", "tool.exe", "-a -b", "\"C:\\Program Files\\Zk\\tool.exe\" -a -b"},
        {"C:\\Zk\\", "tool.exe", "", "\"C:\\Zk\\tool.exe\" "},
        {"", "tool.exe", "x", "\"\\tool.exe\" x"},
        {"C:\\", "t.exe", "x", "\"C:\\t.exe\" x"},
    };
    for (const Case& c : cases) {
        char path[300];
        ASSERT_TRUE(BuildRegisteredProgramPath(path, sizeof(path), c.folder, c.name));
        char line[260];
        ASSERT_TRUE(FormatRegisteredCommandLine(line, sizeof(line), path, c.parameters));
        EXPECT_STREQ(c.commandLine, line);
    }

    // 255 characters of path: quotes, blank and terminator need 259 bytes.
    std::string longPath(255, 'p');
    char line[260];
    EXPECT_TRUE(FormatRegisteredCommandLine(line, sizeof(line), longPath.c_str(), ""));
    EXPECT_FALSE(FormatRegisteredCommandLine(line, sizeof(line), longPath.c_str(), "ab"));
    EXPECT_STREQ("", line);

    char small[8];
    EXPECT_FALSE(BuildRegisteredProgramPath(small, sizeof(small), "C:\\Zk", "tool.exe"));
}

}  // namespace
