#include "core/setup_entry.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/device_context.h"
#include "setupactions_test_support.h"
#include "test_support.h"

namespace {

// zkcoinst.ini with the test's sections; it, and what a monitor installation
// writes, are put back afterwards.
class EntryIni {
public:
    explicit EntryIni(const std::string& text)
        : path_(zktest::SystemDirectory() + "\\zkcoinst.ini"),
          saved_(path_),
          monitor_("SYSTEM\\CurrentControlSet\\Services\\ZKUSBSta"),
          imageLower_(
              "SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}",
              "LowerFilters"),
          mediaLower_(
              "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}",
              "LowerFilters") {
        zktest::WriteFileBytes(path_, text);
    }

private:
    std::string path_;
    zktest::SavedFile saved_;
    zktest::SavedKey monitor_;
    zktest::SavedRegistryValue imageLower_;
    zktest::SavedRegistryValue mediaLower_;
};

std::string Plain(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            plain += text[i];
        }
    }
    return zktest::WithoutTimestamps(plain);
}

// Each part must follow the one before it in text; the position after the
// last, or npos.
size_t FindInOrder(const std::string& text, const std::vector<std::string>& parts) {
    size_t at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos) {
            ADD_FAILURE() << "missing, or out of order: " << part << "\nin:\n" << text;
            return at;
        }
        at += part.size();
    }
    return at;
}

void CallEntry(const char* section) {
    std::string commandLine = section;
    SetupEntryPoint(nullptr, GetModuleHandleA(nullptr), &commandLine[0], SW_SHOWNORMAL);
}

TEST(SetupEntry, OneCallWritesOneWholeRun) {
    EntryIni ini("[Entry]\r\nplain\r\n103,NO_ROVudevid\r\n");
    zktest::FreshInstallLog log;
    const uint32_t contexts = GetDeviceContextCount();
    CallEntry("Entry");
    EXPECT_EQ(contexts, GetDeviceContextCount());

    std::string text = Plain(log.Read());
    const std::string system = zktest::SystemDirectory();
    size_t end =
        FindInOrder(text, {"Start co-installer: [T]\n",
                           "   Marvanto Setup Extension DLL\n   ============================\n\n"
                           "   Windows system directory: " +
                               system + "\n   Windows system directory: " + system + "\n",
                           "   Section to register: Entry\n   File to register: plain\n",
                           "   Will not Install ROVudevid.\n", "   Processing ",
                           "   LaunchRegisteredApp:\n", "Stop co-installer: [T]\n"});
    EXPECT_EQ(text.size(), end + 1) << text;  // the stop line's blank line ends the file
    EXPECT_EQ(1u, zktest::CountOf(text, "Start co-installer"));
}

TEST(SetupEntry, AnEmptyNameAndASecondCallEachGetTheirOwnRun) {
    EntryIni ini("[Entry]\r\n103,NO_ROVudevid\r\n");
    zktest::FreshInstallLog log;
    CallEntry("");
    CallEntry("Entry");
    std::string text = Plain(log.Read());
    EXPECT_EQ(2u, zktest::CountOf(text, "Start co-installer"));
    EXPECT_EQ(2u, zktest::CountOf(text, "Stop co-installer"));
    FindInOrder(text, {"   Section to register: \n   Section  doesn't exist in INI file.\n"
                       "   Install bandwidth monitor.\n",
                       "   LaunchRegisteredApp:\n", "Stop co-installer", "Start co-installer",
                       "   Section to register: Entry\n   Install Module check. NO_ROVudevid\n",
                       "   LaunchRegisteredApp:\n", "Stop co-installer"});
}

}  // namespace
