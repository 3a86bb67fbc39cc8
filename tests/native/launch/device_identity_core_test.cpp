#include "launch/device_identity_core.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DriverVerText, ParsesTheVersionAfterTheFirstComma) {
    struct Case {
        const char* line;
        DriverVerParse outcome;
        DriverVersion version;
        const char* versionText;
    } cases[] = {
        {"01/15/2008,1.2.30.400", DriverVerParse::kOk, {{1, 2, 30, 400}}, "1.2.30.400"},
        {"1.2.30.400", DriverVerParse::kOk, {{1, 2, 30, 400}}, "1.2.30.400"},
        {"01/15/2008,   7.0.0.1", DriverVerParse::kOk, {{7, 0, 0, 1}}, "7.0.0.1"},
        {"d,1.2.3.4,extra", DriverVerParse::kOk, {{1, 2, 3, 4}}, "1.2.3.4,extra"},
        {"d,1.2.3.4 beta", DriverVerParse::kOk, {{1, 2, 3, 4}}, "1.2.3.4 beta"},
        {"d,1.-2.+3. 4", DriverVerParse::kOk, {{1, -2, 3, 4}}, "1.-2.+3. 4"},
        {"d,99999999999.0.0.0", DriverVerParse::kOk, {{2147483647, 0, 0, 0}}, nullptr},
        {"01/15/2008,   ", DriverVerParse::kNoVersion, {}, ""},
        {"01/15/2008,", DriverVerParse::kNoVersion, {}, ""},
        {"", DriverVerParse::kNoVersion, {}, ""},
        {"01/15/2008,1.2.3", DriverVerParse::kMalformed, {}, "1.2.3"},
        {"01/15/2008,1.2.3.", DriverVerParse::kMalformed, {}, "1.2.3."},
        {"01/15/2008,1 .2.3.4", DriverVerParse::kMalformed, {}, "1 .2.3.4"},
        {"01/15/2008,v1.2.3.4", DriverVerParse::kMalformed, {}, "v1.2.3.4"},
        {"01/15/2008", DriverVerParse::kMalformed, {}, "01/15/2008"},
        {"d,\t1.2.3.4", DriverVerParse::kOk, {{1, 2, 3, 4}}, "\t1.2.3.4"},
    };
    for (const Case& c : cases) {
        DriverVersion version = {{-7, -7, -7, -7}};
        const char* versionText = nullptr;
        EXPECT_EQ(c.outcome, ParseDriverVerText(c.line, &version, &versionText)) << c.line;
        if (c.versionText != nullptr) {
            EXPECT_STREQ(c.versionText, versionText) << c.line;
        }
        if (c.outcome == DriverVerParse::kOk) {
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(c.version.parts[i], version.parts[i]) << c.line << " part " << i;
            }
        }
    }
}

TEST(UsbIdentity, TakesFourCharactersAfterEachPrefixOfTheFirstId) {
    struct Case {
        const char* id;
        unsigned missing;
        const char* vid;
        const char* pid;
        const char* bcd;
    } cases[] = {
        {"usb\\vid_1a2b&pid_3c4d&rev_0100&mi_00", 0, "1a2b", "3c4d", "0100"},
        {"usb\\vid_1a2b&pid_3c4d&rev_0100", 0, "1a2b", "3c4d", "0100"},
        {"usb\\rev_0100&pid_3c4d&vid_1a2b", 0, "1a2b", "3c4d", "0100"},
        // Characters are taken as they are, hex or not.
        {"usb\\vid_zz&&&pid_ a b&rev_....", 0, "zz&&", " a b", "...."},
        {"usb\\vid_1a2b&pid_3c4d&mi_00", kMissingBcd, nullptr, nullptr, nullptr},
        {"usb\\vid_1a2b", kMissingPid | kMissingBcd, nullptr, nullptr, nullptr},
        {"", kMissingVid | kMissingPid | kMissingBcd, nullptr, nullptr, nullptr},
        // Fewer than four characters after a prefix: that value is missing.
        {"usb\\pid_3c4d&rev_0100&vid_1a2", kMissingVid, nullptr, nullptr, nullptr},
        {"usb\\vid_1a2b&rev_01&pid_3c", kMissingPid, nullptr, nullptr, nullptr},
        {"usb\\vid_1a2b&pid_3c4d&rev_01", kMissingBcd, nullptr, nullptr, nullptr},
        // Prefixes that overlap: cutting the VID after "pid_" leaves no PID.
        {"usb\\vid_pid_1234&rev_0001", kMissingPid, nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        std::string id = c.id;
        char vid[kIdentityValueSize] = "????";
        char pid[kIdentityValueSize] = "????";
        char bcd[kIdentityValueSize] = "????";
        EXPECT_EQ(c.missing, ExtractUsbIdentity(&id[0], vid, pid, bcd)) << c.id;
        if (c.missing == 0) {
            EXPECT_STREQ(c.vid, vid) << c.id;
            EXPECT_STREQ(c.pid, pid) << c.id;
            EXPECT_STREQ(c.bcd, bcd) << c.id;
        }
    }
}

}  // namespace
