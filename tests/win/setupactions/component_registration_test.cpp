#include "setupactions/component_registration.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setupactions_test_support.h"
#include "test_support.h"

namespace {

using zktest::LoggedRun;

std::string ComponentFixture() {
    return zktest::BuildOutputPath(ZK_FIXTURE_COMPONENT);
}
std::string ServerFixture() {
    return zktest::BuildOutputPath(ZK_FIXTURE_SERVER);
}

// Copies a fixture to path (creating one level of folder when asked) and
// removes the copy and its record afterwards, once the started process lets go.
class FixtureCopy {
public:
    FixtureCopy(const std::string& fixture, const std::string& path) : path_(path) {
        EXPECT_TRUE(CopyFileA(fixture.c_str(), path.c_str(), FALSE)) << path;
    }
    ~FixtureCopy() {
        zktest::DeleteWhenReleased(path_);
        zktest::DeleteWhenReleased(Record());
    }
    const std::string& Path() const { return path_; }
    std::string Record() const { return path_ + ".ran"; }

private:
    std::string path_;
};

std::string DirectoryOf(const std::string& path) {
    return path.substr(0, path.rfind('\\'));
}

std::string InProcessLines(const std::string& path) {
    return "   File to register: " + path + "\n   Path to File to register: " + DirectoryOf(path) +
           "\n   File to register is a DLL or AX\n   Register DLL: file = " + path + "\n";
}

TEST(ComponentRegistration, DllAndAxWordsGoThroughRegsvr32) {
    zktest::ScratchDirectory scratch("reg_dll");
    for (const char* name : {"comp.dll", "COMP2.DLL", "filter.ax", "FILTER2.AX"}) {
        FixtureCopy copy(ComponentFixture(), scratch.File(name));
        bool started = false;
        std::string log = LoggedRun(
            [&](DeviceContext* context) { started = RegisterFile(context, copy.Path().c_str()); });
        EXPECT_TRUE(started) << name;
        EXPECT_EQ(InProcessLines(copy.Path()), log);
        // The real regsvr32 loaded the component and called DllRegisterServer,
        // silently, from the system directory.
        std::string record = zktest::WaitForRecord(copy.Record());
        EXPECT_EQ("\"" + zktest::SystemDirectory() + "\\regsvr32.exe\" /s \"" + copy.Path() + "\"",
                  record)
            << name;
    }
}

TEST(ComponentRegistration, ExeWordsStartTheServerWithRegserver) {
    zktest::ScratchDirectory scratch("reg exe");  // a blank in the path, too
    for (const char* name : {"server.exe", "SERVER2.EXE"}) {
        FixtureCopy copy(ServerFixture(), scratch.File(name));
        bool started = false;
        std::string log = LoggedRun(
            [&](DeviceContext* context) { started = RegisterFile(context, copy.Path().c_str()); });
        EXPECT_TRUE(started) << name;
        EXPECT_EQ("   File to register: " + copy.Path() + "\n   Path to File to register: " +
                      scratch.Path() + "\n   Register EXE: file = " + copy.Path() + "\n",
                  log);
        EXPECT_EQ("\"" + copy.Path() + "\" /REGSERVER", zktest::WaitForRecord(copy.Record()))
            << name;
    }
}

TEST(ComponentRegistration, OtherWordsAreNotRegistered) {
    zktest::ScratchDirectory scratch("reg_none");
    FixtureCopy mixedDll(ComponentFixture(), scratch.File("comp.Dll"));
    FixtureCopy ocx(ComponentFixture(), scratch.File("comp.ocx"));
    FixtureCopy mixedExe(ServerFixture(), scratch.File("server.Exe"));
    for (const FixtureCopy* copy : {&mixedDll, &ocx, &mixedExe}) {
        bool started = true;
        std::string log = LoggedRun(
            [&](DeviceContext* context) { started = RegisterFile(context, copy->Path().c_str()); });
        EXPECT_FALSE(started) << copy->Path();
        EXPECT_EQ("   File to register: " + copy->Path() +
                      "\n   Path to File to register: " + scratch.Path() + "\n",
                  log);
    }
    // Give a wrongly started process time to leave its record.
    Sleep(1500);
    for (const FixtureCopy* copy : {&mixedDll, &ocx, &mixedExe}) {
        EXPECT_FALSE(zktest::FileExists(copy->Record())) << copy->Path();
    }
}

TEST(ComponentRegistration, NamesWithoutDirectoryOrDotAreReportedOnly) {
    struct Case {
        const char* path;
        const char* directory;
    };
    const Case cases[] = {
        {"NoFNW=1", ""},
        {"zkcodec2.ocx", ""},
        {"C:\\dll\\AX\\exe", "C:\\dll\\AX"},
    };
    for (const Case& c : cases) {
        bool started = true;
        std::string log =
            LoggedRun([&](DeviceContext* context) { started = RegisterFile(context, c.path); });
        EXPECT_FALSE(started) << c.path;
        EXPECT_EQ(std::string("   File to register: ") + c.path +
                      "\n   Path to File to register: " + c.directory + "\n",
                  log);
    }
}

TEST(ComponentRegistration, ANameWithoutFolderIsLookedForInTheSystemDirectoryOnly) {
    // A component and a server planted in the current folder and in a PATH
    // folder, where an ordinary user may write, under names the system
    // directory lacks: neither may run.
    zktest::ScratchDirectory planted("reg_planted");
    FixtureCopy plantedDll(ComponentFixture(), planted.File("zk_bare_comp.dll"));
    FixtureCopy plantedExe(ServerFixture(), planted.File("zk_bare_server.exe"));
    char oldDirectory[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(oldDirectory), oldDirectory));
    ASSERT_TRUE(SetCurrentDirectoryA(planted.Path().c_str()));
    char oldSearchPath[4096];
    DWORD oldLength = GetEnvironmentVariableA("PATH", oldSearchPath, sizeof(oldSearchPath));
    ASSERT_TRUE(oldLength > 0 && oldLength < sizeof(oldSearchPath));
    ASSERT_TRUE(SetEnvironmentVariableA(
        "PATH", (planted.Path() + ";" + std::string(oldSearchPath)).c_str()));
    const std::string system = zktest::SystemDirectory();
    for (const char* name : {"zk_bare_comp.dll", "zk_bare_server.exe"}) {
        bool started = true;
        std::string log =
            LoggedRun([&](DeviceContext* context) { started = RegisterFile(context, name); });
        EXPECT_FALSE(started) << name;
        EXPECT_EQ(std::string("   File to register: ") + name +
                      "\n   Path to File to register: \n   ERROR: " + name +
                      " is not in the system directory (" + system + "\\" + name +
                      "); not registered.\n",
                  log);
    }
    {
        // The package's own copy in the system directory is the one that runs.
        FixtureCopy installed(ComponentFixture(), system + "\\zk_bare_comp.dll");
        bool started = false;
        std::string log = LoggedRun(
            [&](DeviceContext* context) { started = RegisterFile(context, "zk_bare_comp.dll"); });
        EXPECT_TRUE(started);
        EXPECT_EQ(
            "   File to register: zk_bare_comp.dll\n   Path to File to register: \n"
            "   File to register is a DLL or AX\n   Register DLL: file = " +
                installed.Path() + "\n",
            log);
        EXPECT_EQ("\"" + system + "\\regsvr32.exe\" /s \"" + installed.Path() + "\"",
                  zktest::WaitForRecord(installed.Record()));
    }
    SetEnvironmentVariableA("PATH", oldSearchPath);
    SetCurrentDirectoryA(oldDirectory);
    Sleep(1500);
    EXPECT_FALSE(zktest::FileExists(plantedDll.Record()));
    EXPECT_FALSE(zktest::FileExists(plantedExe.Record()));
}

TEST(ComponentRegistration, ADotInAFolderNameLetsTheRestOfThePathCount) {
    zktest::ScratchDirectory scratch("reg_dot");
    std::string folder = scratch.File("x.ax");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    {
        // tool.exe is sent to regsvr32 because of the "ax" before it; here it
        // is a component, so regsvr32 can show that it ran.
        FixtureCopy copy(ComponentFixture(), folder + "\\tool.exe");
        bool started = false;
        std::string log = LoggedRun(
            [&](DeviceContext* context) { started = RegisterFile(context, copy.Path().c_str()); });
        EXPECT_TRUE(started);
        EXPECT_EQ(InProcessLines(copy.Path()), log);
        EXPECT_NE("", zktest::WaitForRecord(copy.Record()));
    }
    RemoveDirectoryA(folder.c_str());
}

TEST(ComponentRegistration, OnlyTheStartCounts) {
    zktest::ScratchDirectory scratch("reg_start");
    // regsvr32 starts for a component that is not there, fails silently, and
    // the registration still counts as started.
    std::string missingDll = scratch.File("missing.dll");
    bool started = false;
    LoggedRun([&](DeviceContext* context) { started = Regsvr32DLL(context, missingDll.c_str()); });
    EXPECT_TRUE(started);

    // A server that is not there cannot be started: that is the failure.
    std::string missingExe = scratch.File("missing.exe");
    std::string log = LoggedRun(
        [&](DeviceContext* context) { started = RegisterFile(context, missingExe.c_str()); });
    EXPECT_FALSE(started);
    EXPECT_EQ("   File to register: " + missingExe + "\n   Path to File to register: " +
                  scratch.Path() + "\n   Register EXE: file = " + missingExe +
                  "\n   ERROR: Register EXE: Failed to register " + missingExe + " (2)\n",
              log);
}

TEST(ComponentRegistration, PathsThatCannotBeQuotedOrDoNotFitStartNothing) {
    zktest::ScratchDirectory scratch("reg_refuse");
    FixtureCopy server(ServerFixture(), scratch.File("server.exe"));
    FixtureCopy component(ComponentFixture(), scratch.File("comp.dll"));
    struct Case {
        std::string path;
        std::string lastLine;
    };
    // A quote would close the quoted path and pass the rest on as switches.
    const std::string quotedExe = server.Path() + "\" /UNREGSERVER \"" + server.Path();
    const std::string quotedDll = component.Path() + "\" /u \"" + component.Path();
    const std::string longDll = "C:\\" + std::string(250, 'd') + ".dll";
    const std::string longExe = "C:\\" + std::string(250, 'e') + ".exe";
    const Case cases[] = {
        {quotedExe, "   ERROR: Register EXE: A file name cannot hold a double quote; " + quotedExe +
                        " is not registered\n"},
        {quotedDll, "   ERROR: Regsvr32DLL: A file name cannot hold a double quote; " + quotedDll +
                        " is not registered\n"},
        {longDll, "   ERROR: Regsvr32DLL: The command line for " + longDll +
                      " is too long; not registered\n"},
        {longExe, "   ERROR: Register EXE: The command line for " + longExe +
                      " is too long; not registered\n"},
    };
    for (const Case& c : cases) {
        bool started = true;
        std::string log = LoggedRun(
            [&](DeviceContext* context) { started = RegisterFile(context, c.path.c_str()); });
        EXPECT_FALSE(started) << c.path;
        ASSERT_GE(log.size(), c.lastLine.size());
        EXPECT_EQ(c.lastLine, log.substr(log.size() - c.lastLine.size())) << log;
    }
    Sleep(1500);
    EXPECT_FALSE(zktest::FileExists(server.Record()));
    EXPECT_FALSE(zktest::FileExists(component.Record()));
}

}  // namespace
