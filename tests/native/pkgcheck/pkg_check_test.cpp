// The checker's decisions that the golden packages do not each show: which
// install section and models sections are picked, and how a CoInstallers32
// line is judged. Whole packages, with their DLLs, are the golden tests.
#include "pkg_check.h"

#include "destination_check.h"
#include "version_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zk::pkgcheck::Architecture;
using zk::pkgcheck::CheckPackage;
using zk::pkgcheck::InfError;
using zk::pkgcheck::InfFile;
using zk::pkgcheck::Package;
using zk::pkgcheck::PackageOptions;
using zk::pkgcheck::PackageReport;
using zk::pkgcheck::ParsePackageArguments;
using zk::pkgcheck::ReadInf;
using zk::pkgcheck::ResolveInstallSection;
using zk::pkgcheck::SystemFolder;

InfFile Inf(const std::string& body) {
    InfFile file;
    EXPECT_EQ(InfError::None,
              ReadInf("[Version]\nSignature=\"$Windows NT$\"\n" + body, &file).error)
        << body;
    return file;
}

bool Has(const PackageReport& report, const std::string& part) {
    return report.text.find(part) != std::string::npos;
}

TEST(PackageCheck, InstallSectionsAreDecoratedAsTheDeviceInstallerPicksThem) {
    struct Case {
        const char* sections;
        const char* x86;
        const char* amd64;
    };
    const Case cases[] = {
        {"[Cam.NTx86]\n[Cam.NTamd64]\n[Cam.NT]\n[Cam]\n", "Cam.NTx86", "Cam.NTamd64"},
        {"[Cam.NT]\n[Cam]\n", "Cam.NT", "Cam.NT"},
        {"[Cam]\n", "Cam", "Cam"},
        {"[Cam.NTamd64]\n[Cam]\n", "Cam", "Cam.NTamd64"},
        {"[cam.ntx86]\n", "cam.ntx86", ""},
        {"[Cam.NTx86.CoInstallers]\n[Other]\n", "", ""},
    };
    for (const Case& c : cases) {
        InfFile inf = Inf(c.sections);
        EXPECT_EQ(c.x86, ResolveInstallSection(inf, "Cam", Architecture::X86)) << c.sections;
        EXPECT_EQ(c.amd64, ResolveInstallSection(inf, "Cam", Architecture::Amd64)) << c.sections;
    }
}

// The models sections judged, with the processor each serves, for the
// [Manufacturer] line and the models sections of an INF.
TEST(PackageCheck, ModelsSectionsAreJudgedForTheProcessorTheirDecorationNames) {
    struct Case {
        const char* manufacturer;
        const char* models;  // sections present
        const char* arch;    // nullptr: all
        std::vector<const char*> headings;
        std::vector<const char*> absent;
    };
    const Case cases[] = {
        {"M=Models,NTx86,NTamd64",
         "[Models]\n[Models.NTx86]\n[Models.NTamd64]\n",
         nullptr,
         {"[Models] (line ", ": x86, undecorated", "[Models.NTx86] (line ", "): x86",
          "[Models.NTamd64] (line ", "): amd64"},
         {}},
        {"M=Models,NTx86,NTamd64",
         "[Models]\n[Models.NTx86]\n[Models.NTamd64]\n",
         "amd64",
         {"[Models.NTamd64] (line "},
         {"[Models] (line ", "[Models.NTx86] (line "}},
        // The undecorated section is judged only when it is there, unless it
        // is all that the line names.
        {"M=Models,ntAMD64",
         "[Models.ntAMD64]\n",
         nullptr,
         {"[Models.ntAMD64] (line "},
         {"[Models]:"}},
        {"M=Models", "", nullptr, {"[Models]: x86", "[Models], which is not in the INF"}, {}},
        {"M=Models,NT,NTx86.6.0",
         "[Models.NT]\n[Models.NTx86.6.0]\n",
         nullptr,
         {"[Models.NT] (line ", "NT without a processor serves x86 only",
          "[Models.NTx86.6.0] (line "},
         {}},
        {"M=Models,NTarm64,NTx86",
         "[Models.NTarm64]\n[Models.NTx86]\n",
         nullptr,
         {"arm64, not checked", "[Models.NTx86] (line "},
         {}},
        {"M=Models,NTx86,NTamd64",
         "[Models.NTx86]\n",
         nullptr,
         {"[Models.NTamd64], which is not in the INF"},
         {}},
        {"M=Models,NTx86",
         "[Models.NTx86]\n",
         "amd64",
         {"no models section of the INF serves amd64"},
         {"[Models.NTx86] (line "}},
        {"M=Models,Win7",
         "[Models.Win7]\n",
         nullptr,
         {"the decoration Win7 of [Manufacturer] names no processor"},
         {}},
    };
    for (const Case& c : cases) {
        InfFile inf = Inf(std::string("[Manufacturer]\n") + c.manufacturer + "\n" + c.models);
        PackageOptions options;
        std::vector<const char*> argv = {"zkpkgcheck", "no-such-folder"};
        if (c.arch != nullptr) {
            argv.push_back("--arch");
            argv.push_back(c.arch);
        }
        std::string error;
        ASSERT_TRUE(
            ParsePackageArguments(static_cast<int>(argv.size()), argv.data(), &options, &error));
        PackageReport report = CheckPackage(inf, Package{"no-such-folder", "x.inf"}, options);
        for (const char* heading : c.headings) {
            EXPECT_TRUE(Has(report, heading)) << c.manufacturer << " wants " << heading << "\n"
                                              << report.text;
        }
        for (const char* heading : c.absent) {
            EXPECT_FALSE(Has(report, heading)) << c.manufacturer << " has " << heading << "\n"
                                               << report.text;
        }
    }
}

// Each CoInstallers32 line against the one registration that works.
TEST(PackageCheck, CoInstallers32LinesAreJudgedExactly) {
    struct Case {
        const char* line;
        const char* warning;  // nullptr: the line registers the co-installer
    };
    const Case cases[] = {
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"", nullptr},
        {"hkr,,coinstallers32,0x10000,\"zkcoinst.dll,ZkCoInstaller\"", nullptr},
        {"HKR,,CoInstallers32,65536,\"zkcoinst.dll,ZkCoInstaller\"", nullptr},
        {"HKR,,CoInstallers32,0x00010008,\"zkcoinst.dll,ZkCoInstaller\"", nullptr},
        {"HKR,,CoInstallers32,0x00010000,\"ZKCOINST.DLL,ZkCoInstaller\"", nullptr},
        {"HKR,,CoInstallers32,0x00010000,\"other.dll,Entry\",\"zkcoinst.dll,ZkCoInstaller\"",
         nullptr},
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZKCoInstaller\"", "tells case apart"},
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll, ZkCoInstaller\"",
         "the entry \" ZkCoInstaller\" is not ZkCoInstaller"},
        {"HKR,,CoInstallers32,0x00010000,zkcoinst.dll", "names no entry"},
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst32.dll,ZkCoInstaller\"",
         "names \"zkcoinst32.dll,ZkCoInstaller\", not zkcoinst.dll"},
        {"HKR,,CoInstallers32,,\"zkcoinst.dll,ZkCoInstaller\"", "written as REG_SZ"},
        {"HKR,,CoInstallers32,0x00020000,\"zkcoinst.dll,ZkCoInstaller\"",
         "written as type 0x00020000"},
        {"HKR,,CoInstallers32,0x00010004,\"zkcoinst.dll,ZkCoInstaller\"", "FLG_ADDREG_DELVAL"},
        {"HKR,,CoInstallers32,0x00010010,\"zkcoinst.dll,ZkCoInstaller\"", "FLG_ADDREG_KEYONLY"},
        {"HKR,,CoInstallers32,0x1000O,\"zkcoinst.dll,ZkCoInstaller\"", "are no number"},
        {"HKLM,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"", "not to HKR"},
        {"HKR,Sub,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"", "the subkey Sub"},
        {"HKR,,CoInstallers32,0x00010000", "CoInstallers32 gets no string"},
        {"HKR,,Other,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"", "write no CoInstallers32 value"},
        // Lines in order, as SetupAPI applies them: the last one wins, the
        // append flag adds, a later line of our own in another case replaces.
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"\n"
         "HKR,,CoInstallers32,0x00010000,\"other.dll,Entry\"",
         "the last one wins"},
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"\n"
         "HKR,,CoInstallers32,0x00010008,\"other.dll,Entry\"",
         nullptr},
        {"HKR,,CoInstallers32,0x00010000,\"other.dll,Entry\"\n"
         "HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"",
         "\"other.dll,Entry\" is no longer registered"},
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"\n"
         "HKR,,CoInstallers32,0x00010004",
         "this line deletes CoInstallers32"},
        {"HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZkCoInstaller\"\n"
         "HKR,,CoInstallers32,0x00010000,\"zkcoinst.dll,ZKCoInstaller\"",
         "tells case apart"},
        {"HKR,,CoInstallers32,,\"other.dll,Entry\"\n"
         "HKR,,CoInstallers32,0x00010008,\"zkcoinst.dll,ZkCoInstaller\"",
         "adds only to a REG_MULTI_SZ list"},
        {"HKR,,CoInstallers32,0x00010000,\"other.dll,Entry\"\n"
         "HKR,,CoInstallers32,0x00010002,\"zkcoinst.dll,ZkCoInstaller\"",
         "FLG_ADDREG_NOCLOBBER"},
        {"HKR,,CoInstallers32,0x00010020,\"zkcoinst.dll,ZkCoInstaller\"", "OVERWRITEONLY"},
        {"HKR,,CoInstallers32,0x00010000,\"\",\"zkcoinst.dll,ZkCoInstaller\"",
         "ends at its first empty string"},
    };
    for (const Case& c : cases) {
        InfFile inf = Inf(std::string("[Manufacturer]\nM=Models\n[Models]\nCam=Cam,hw\n[Cam.NT]\n"
                                      "[Cam.NT.CoInstallers]\nAddReg=Reg\n[Reg]\n") +
                          c.line + "\n");
        PackageOptions options;
        PackageReport report = CheckPackage(inf, Package{"no-such-folder", "x.inf"}, options);
        bool registered = Has(report, "-> registers zkcoinst.dll, entry ZkCoInstaller");
        // No CopyFiles here: a registration that works leaves that the
        // first thing to stop the co-installer.
        bool runs = Has(report, "will not run: zkcoinst.dll is not copied");
        if (c.warning == nullptr) {
            EXPECT_TRUE(registered && runs) << c.line << "\n" << report.text;
        } else {
            EXPECT_TRUE(Has(report, c.warning)) << c.line << "\n" << report.text;
        }
    }
}

TEST(PackageCheck, ArgumentsAreParsedOrRefused) {
    struct Case {
        std::vector<const char*> arguments;
        bool ok;
        bool all;
        Architecture architecture;
    };
    const Case cases[] = {
        {{"pkg"}, true, true, Architecture::X86},
        {{"pkg", "--arch", "amd64"}, true, false, Architecture::Amd64},
        {{"--arch", "X86", "pkg\\a.inf"}, true, false, Architecture::X86},
        {{"pkg", "--arch", "x64"}, false, true, Architecture::X86},
        {{"pkg", "--arch"}, false, true, Architecture::X86},
        {{"pkg", "other"}, false, true, Architecture::X86},
        {{"--verbose", "pkg"}, false, true, Architecture::X86},
        {{"--signed", "pkg"}, true, true, Architecture::X86},
        {{"--help"}, true, true, Architecture::X86},
        {{"-h", "--bogus"}, true, true, Architecture::X86},
        {{}, false, true, Architecture::X86},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"zkpkgcheck"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        PackageOptions options;
        std::string error;
        bool ok =
            ParsePackageArguments(static_cast<int>(argv.size()), argv.data(), &options, &error);
        std::string label = argv.size() > 1 ? argv.back() : "(none)";
        ASSERT_EQ(c.ok, ok) << label;
        if (!ok) {
            EXPECT_FALSE(error.empty()) << label;
            continue;
        }
        EXPECT_EQ(c.all, options.allArchitectures) << label;
        if (!c.all) {
            EXPECT_EQ(c.architecture, options.architecture) << label;
        }
    }
}

// Every [DestinationDirs] form that names the system folder, and look-alikes
// that do not (SetupAPI's own answers are in tests/win/pkgcheck).
TEST(PackageCheck, DestinationFormsThatNameTheSystemFolder) {
    struct Case {
        const char* directory;
        const char* subdirectory;
        SystemFolder x86;
        SystemFolder amd64;
    };
    const SystemFolder kNamed = SystemFolder::Named;
    const SystemFolder kNot = SystemFolder::NotNamed;
    const SystemFolder kWhere = SystemFolder::WhereWindows;
    const Case cases[] = {
        {"11", "", kNamed, kNamed},
        {"0x0B", "", kNamed, kNamed},
        {" 11", ".", kNamed, kNamed},
        {"10", "System32", kNamed, kNamed},
        {"10", "\\system32\\", kNamed, kNamed},
        {"10", "system32\\..\\system32", kNamed, kNamed},
        {"12", "..", kNamed, kNamed},
        {"23", "..\\..\\..", kNamed, kNamed},
        {"16421", "", kNamed, kNamed},
        {"16420", "system32", kNamed, kNamed},
        {"16425", "", kNamed, kNot},  // the 32-bit system folder: SysWOW64 on amd64
        {"10", "SysWOW64", kNot, kNot},
        {"11", "..", kNot, kNot},
        {"10", "..\\Windows\\system32", kNot, kNot},
        {"12", "", kNot, kNot},
        {"011", "", kNot, kNot},  // octal 9
        {"eleven", "", kNot, kNot},
        {"-1", "C:\\WINDOWS\\system32", kWhere, kWhere},
        {"24", "WINNT\\system32", kWhere, kWhere},
    };
    for (const Case& c : cases) {
        std::string windows;
        EXPECT_EQ(c.x86,
                  NamesSystemFolder(c.directory, c.subdirectory, Architecture::X86, &windows))
            << c.directory << "," << c.subdirectory;
        EXPECT_EQ(c.amd64,
                  NamesSystemFolder(c.directory, c.subdirectory, Architecture::Amd64, &windows))
            << c.directory << "," << c.subdirectory;
    }
}

TEST(PackageCheck, DriverVerIsADateAndFourNumbers) {
    struct Case {
        const char* text;
        const char* problem;  // nullptr: none
    };
    const Case cases[] = {
        {"01/15/2008,1.2.30.400", nullptr},
        {"1/5/2008, 1.2.30.400", nullptr},
        {"01/15/2008,65535.0.0.1", nullptr},
        {"01/15/2008", "no version"},
        {"01/15/2008,", "no version"},
        {"1.2.30.400", "no date"},
        {"01/15/2008,1.2.30", "not four numbers"},
        {"01/15/2008,1.2.x.4", "not four numbers"},
        {"01/15/2008,70000.0.0.0", "outside 0 to 65535"},
        {"2008-01-15,1.2.30.400", "not mm/dd/yyyy"},
        {"13/15/2008,1.2.30.400", "not mm/dd/yyyy"},
        {"01/15/08,1.2.30.400", "not mm/dd/yyyy"},
    };
    for (const Case& c : cases) {
        std::string problem = zk::pkgcheck::DriverVerProblem(c.text);
        if (c.problem == nullptr) {
            EXPECT_EQ("", problem) << c.text;
        } else {
            EXPECT_NE(std::string::npos, problem.find(c.problem)) << c.text << ": " << problem;
        }
    }
}

}  // namespace
