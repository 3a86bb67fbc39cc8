// zkpkgcheck's rules of how SetupAPI applies an INF, against SetupAPI itself:
// the CoInstallers32 value a .CoInstallers section's AddReg lines leave in a
// driver key, the folder each DestinationDirs form names, and the class and
// catalog [Version] names. Where Wine's SetupAPI differs from Windows', the
// case says so and the checker follows Windows.
#include <windows.h>
#include <setupapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/guid_text.h"
#include "common/win_handles.h"
#include "destination_check.h"
#include "inf_reader.h"
#include "package_checker.h"
#include "registration_check.h"
#include "test_support.h"

namespace {

using zk::pkgcheck::CoInstallersValue;
using zk::pkgcheck::InfError;
using zk::pkgcheck::InfFile;
using zk::pkgcheck::ReadInf;

const std::string kVersion = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";
const char kScratchKey[] = "Software\\ZkPkgcheckAddRegTest";

const zk::pkgcheck::Architecture kHere =
    sizeof(void*) == 8 ? zk::pkgcheck::Architecture::Amd64 : zk::pkgcheck::Architecture::X86;

// The INF text written to a file of the scratch folder, and read by ours.
std::string WriteInf(const zktest::ScratchDirectory& scratch, int index, const std::string& text,
                     InfFile* ours) {
    std::string path = scratch.File(("case" + std::to_string(index) + ".inf").c_str());
    zktest::WriteFileBytes(path, text);
    EXPECT_EQ(InfError::None, ReadInf(text, ours).error) << text;
    return path;
}

// CoInstallers32 of key as the checker's record has it.
CoInstallersValue ReadValue(HKEY key) {
    CoInstallersValue value;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, "CoInstallers32", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return value;
    }
    std::vector<char> data(size + 2, '\0');
    RegQueryValueExA(key, "CoInstallers32", nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                     &size);
    value.present = true;
    value.list = type == REG_MULTI_SZ;
    for (const char* s = data.data(); *s != '\0' && s < data.data() + size; s += strlen(s) + 1) {
        value.strings.emplace_back(s);
        if (!value.list) {
            break;
        }
    }
    return value;
}

TEST(PackageRulesAgainstSetupApi, CoInstallers32IsWhatTheAddRegLinesLeave) {
    struct Case {
        const char* section;  // the .CoInstallers section's lines and their AddReg sections
        bool wineDiffers;     // Wine's SetupAPI appends to no value by writing none
    };
    const char* const kOurs = "HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"\r\n";
    const Case cases[] = {
        {"AddReg=A\r\n[A]\r\n%s", false},
        // The last line wins; the append flag adds, once per string.
        {"AddReg=A\r\n[A]\r\n%sHKR,,CoInstallers32,0x00010000,\"other.dll,Entry\"\r\n", false},
        {"AddReg=A\r\n[A]\r\n%sHKR,,CoInstallers32,0x00010008,\"other.dll,Entry\","
         "\"ZKCOINST.DLL,ZkCoInstaller\"\r\n",
         false},
        {"AddReg=A,B\r\nAddReg=C\r\n[A]\r\nHKR,,CoInstallers32,0x00010000,\"a\"\r\n[B]\r\n"
         "HKR,,CoInstallers32,0x00010008,\"b\"\r\n[C]\r\n%s",
         false},
        // Without the multi-string flag: one REG_SZ string, the append flag ignored.
        {"AddReg=A\r\n[A]\r\n%sHKR,,coinstallers32,0x00000008,\"x\",\"y\"\r\n", false},
        {"AddReg=A\r\n[A]\r\n%sHKR,,CoInstallers32,0x00010002,\"x\"\r\n", false},
        {"AddReg=A\r\n[A]\r\n%sHKR,,CoInstallers32,0x00010004\r\n", false},
        {"AddReg=A\r\n[A]\r\n%sHKR,,CoInstallers32,0x00010010,\"x\"\r\n", false},
        {"AddReg=A\r\n[A]\r\nHKR,,CoInstallers32,0x00010020,\"x\"\r\n%s", false},
        {"AddReg=A\r\n[A]\r\nHKR,,CoInstallers32,,\"x\"\r\n"
         "HKR,,CoInstallers32,0x00010008,\"zkcoinst.dll,ZkCoInstaller\"\r\n",
         false},
        {"AddReg=A\r\n[A]\r\nHKR,,CoInstallers32,0x00010000,\"a\",\"\",\"b\"\r\n%s"
         "HKR,,CoInstallers32,0x00010000,\"a\",\"\",\"b\"\r\n",
         false},
        // DelReg runs before AddReg, whatever the order of the lines.
        {"AddReg=A\r\nDelReg=D\r\n[A]\r\n%s[D]\r\nHKR,,CoInstallers32\r\n", false},
        {"AddReg=A\r\n[A]\r\nHKLM,,CoInstallers32,0x00010000,\"x\"\r\n"
         "HKR,Sub,CoInstallers32,0x00010000,\"y\"\r\n%s",
         false},
        {"AddReg=A\r\n[A]\r\nHKR,,CoInstallers32,0x00010008,\"zkcoinst.dll,ZkCoInstaller\"\r\n",
         true},
    };
    zktest::ScratchDirectory scratch("pkgcheck_addreg");
    int index = 0;
    for (const Case& c : cases) {
        std::string section = c.section;
        size_t at = section.find("%s");
        if (at != std::string::npos) {
            section.replace(at, 2, kOurs);
        }
        std::string text = kVersion + "[Cam.CoInstallers]\r\n" + section;
        SCOPED_TRACE(text);
        InfFile ours;
        std::string path = WriteInf(scratch, index++, text, &ours);
        SHDeleteKeyA(HKEY_CURRENT_USER, kScratchKey);
        zk::UniqueRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr));
        zk::UniqueInf inf(SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr));
        ASSERT_TRUE(inf);
        ASSERT_TRUE(SetupInstallFromInfSectionA(nullptr, inf.Get(), "Cam.CoInstallers",
                                                SPINST_REGISTRY, key.Get(), nullptr, 0, nullptr,
                                                nullptr, nullptr, nullptr));
        CoInstallersValue platform = ReadValue(key.Get());
        CoInstallersValue predicted = zk::pkgcheck::ApplyCoInstallersSection(
            ours, *zk::pkgcheck::FindInfSection(ours, "Cam.CoInstallers"));
        if (c.wineDiffers) {
            // Windows creates the list that the line appends to; Wine writes nothing.
            EXPECT_FALSE(platform.present);
            EXPECT_TRUE(predicted.present && predicted.list);
            continue;
        }
        EXPECT_EQ(platform.present, predicted.present);
        EXPECT_EQ(platform.list, predicted.list);
        EXPECT_EQ(platform.strings, predicted.strings);
    }
    SHDeleteKeyA(HKEY_CURRENT_USER, kScratchKey);
}

// A path with "." and ".." parts resolved, without regard to case.
std::string Resolved(const std::string& path) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    std::string text(full, length > 0 && length < sizeof(full) ? length : 0);
    while (!text.empty() && (text.back() == '\\' || text.back() == ' ')) {
        text.pop_back();
    }
    if (!text.empty()) {
        CharLowerA(text.data());
    }
    return text;
}

TEST(PackageRulesAgainstSetupApi, DestinationDirsNameTheSystemFolderAsSetupApiResolvesThem) {
    const char* const forms[] = {
        "11",
        "0x0b",
        "+11",
        "11,.",
        "11,",
        "10,system32",
        "10,SYSTEM32",
        "10,\\system32",
        "10,system32\\.",
        "10,system32\\..\\system32",
        "12,..",
        "16421",
        "16420,system32",
        "16425",
        "23,..\\..\\..",
        "12",
        "10",
        "11,drivers",
        "10,system",
        "50",
        "17",
        "10,SysWOW64",
        "11,..",
        "-1,C:\\windows\\system32",
        "24,windows\\system32",
    };
    char systemDirectory[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(systemDirectory, sizeof(systemDirectory)), 0u);
    std::string text = kVersion + "[DestinationDirs]\r\n";
    int index = 0;
    for (const char* form : forms) {
        text += "L" + std::to_string(index++) + "=" + form + "\r\n";
    }
    zktest::ScratchDirectory scratch("pkgcheck_destinations");
    InfFile ours;
    std::string path = WriteInf(scratch, 0, text, &ours);
    zk::UniqueInf inf(SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr));
    ASSERT_TRUE(inf);
    const zk::pkgcheck::InfSection* dirs = zk::pkgcheck::FindInfSection(ours, "DestinationDirs");
    ASSERT_NE(nullptr, dirs);
    for (const zk::pkgcheck::InfLine& line : dirs->lines) {
        SCOPED_TRACE(zk::pkgcheck::InfLineText(line));
        char target[MAX_PATH];
        ASSERT_TRUE(SetupGetTargetPathA(inf.Get(), nullptr, line.key.c_str(), target,
                                        sizeof(target), nullptr));
        bool named = Resolved(target) == Resolved(systemDirectory);
        std::string windows;
        zk::pkgcheck::SystemFolder judged = zk::pkgcheck::NamesSystemFolder(
            line.fields[0], line.fields.size() > 1 ? line.fields[1] : std::string(), kHere,
            &windows);
        if (judged == zk::pkgcheck::SystemFolder::WhereWindows) {
            // Right on this machine exactly when Windows is where the path says.
            EXPECT_TRUE(named) << target;
            continue;
        }
        EXPECT_EQ(named, judged == zk::pkgcheck::SystemFolder::Named) << target;
    }
}

TEST(PackageRulesAgainstSetupApi, VersionNamesTheClassAndCatalogSetupApiReads) {
    const char* const versions[] = {
        "Class=Image\r\nClassGuid={6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\r\nCatalogFile=a.cat\r\n",
        "Class=MEDIA\r\nClassGuid={6bdd1fc6-810f-11d0-bec7-08002be2092f}\r\nCatalogFile=\"b.cat\""
        "\r\n",
        // Wine's SetupDiGetINFClassA puts no [Strings] in; Windows' does, as
        // the checker's reader.
        "Class = Camera\r\nClassGuid = {CA3E7AB9-B4C3-4AE6-8251-579EF933890F}\r\n"
        "CatalogFile = c.cat\r\n",
    };
    zktest::ScratchDirectory scratch("pkgcheck_version");
    int index = 0;
    for (const char* version : versions) {
        std::string text = "[Version]\r\nSignature=\"$Windows NT$\"\r\n" + std::string(version);
        SCOPED_TRACE(text);
        InfFile ours;
        std::string path = WriteInf(scratch, index++, text, &ours);
        const zk::pkgcheck::InfSection* section = zk::pkgcheck::FindInfSection(ours, "Version");
        ASSERT_NE(nullptr, section);
        GUID guid;
        char className[MAX_CLASS_NAME];
        ASSERT_TRUE(
            SetupDiGetINFClassA(path.c_str(), &guid, className, sizeof(className), nullptr));
        EXPECT_STREQ(
            className,
            zk::pkgcheck::InfLineText(*zk::pkgcheck::FindInfLine(*section, "Class")).c_str());
        EXPECT_STRCASEEQ(
            zk::GuidText(guid).c_str(),
            zk::pkgcheck::InfLineText(*zk::pkgcheck::FindInfLine(*section, "ClassGuid")).c_str());

        // Wine reads only the undecorated CatalogFile; Windows, and the
        // checker, the processor's decorated one first (none here).
        std::vector<char> buffer(4096);
        auto* info = reinterpret_cast<PSP_INF_INFORMATION>(buffer.data());
        ASSERT_TRUE(SetupGetInfInformationA(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, info,
                                            static_cast<DWORD>(buffer.size()), nullptr));
        SP_ORIGINAL_FILE_INFO_A original;
        original.cbSize = sizeof(original);
        ASSERT_TRUE(SetupQueryInfOriginalFileInformationA(info, 0, nullptr, &original));
        EXPECT_STREQ(
            original.OriginalCatalogName,
            zk::pkgcheck::Field(*zk::pkgcheck::FindInfLine(*section, "CatalogFile"), 0).c_str());
    }
}

}  // namespace
