// The web-update program's texts from outside: the section names formed from
// the INF's install section, the switch values read from zkcoinst.ini, and the
// command line with the device's identity and manufacturer. Input: a settings
// byte, the install section, the switch value, the manufacturer, the class
// name, then the rest for the identity values and version numbers.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "common/leading_int.h"
#include "launch/web_update_core.h"

namespace {

void CheckSections(const std::string& section, bool haveVersion, unsigned major, unsigned minor) {
    fuzz::Block sectionBlock = fuzz::Terminated(section);
    KestrSectionSearch search;
    memset(&search, 0x5A, sizeof(search));
    BuildKestrSectionSearch(sectionBlock.bytes, haveVersion, major, minor, &search);

    std::vector<std::string> wanted;
    if (haveVersion) {
        wanted.push_back(fuzz::Printed("%s.KESTR.%u.%u", sectionBlock.bytes, major, minor));
    }
    wanted.push_back(std::string(sectionBlock.bytes) + ".KESTR");
    if (haveVersion) {
        wanted.push_back(fuzz::Printed("KESTR.DevType.%u.%u", major, minor));
    }
    wanted.push_back("KESTR.DevType");
    // A name that does not fit is left out, never cut.
    std::vector<std::string> fitting;
    for (const std::string& name : wanted) {
        if (name.size() < kSectionNameCapacity) {
            fitting.push_back(name);
        }
    }
    FUZZ_CHECK(search.count == static_cast<int>(fitting.size()));
    for (int i = 0; i < search.count; ++i) {
        FUZZ_CHECK(memchr(search.names[i], '\0', kSectionNameCapacity) != nullptr);
        FUZZ_CHECK(search.names[i] == fitting[static_cast<size_t>(i)]);
    }
}

void CheckSwitches(const std::string& value) {
    // Values are read into buffers of kSwitchValueSize bytes.
    fuzz::Block block = fuzz::Terminated(value.substr(0, kSwitchValueSize - 1));
    errno = 0;
    long long number = strtoll(block.bytes, nullptr, 10);
    int expected = number > INT_MAX   ? INT_MAX
                   : number < INT_MIN ? INT_MIN
                                      : static_cast<int>(number);
    FUZZ_CHECK(ParseLeadingInt(block.bytes) == expected);
    FUZZ_CHECK(IsSwitchValueOn(block.bytes) == (expected == 1));
    FUZZ_CHECK(IsNoFNWValueSet(block.bytes) == (expected == 1));

    // Longer texts too: a number of any length saturates instead of wrapping.
    fuzz::Block whole = fuzz::Terminated(value);
    number = strtoll(whole.bytes, nullptr, 10);
    expected = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
    FUZZ_CHECK(ParseLeadingInt(whole.bytes) == expected);
}

void CheckCommandLine(uint8_t settings, const std::string& manufacturer,
                      const std::string& className, const std::string& rest) {
    fuzz::Input input = {reinterpret_cast<const uint8_t*>(rest.data()), rest.size()};
    std::string commonFiles = fuzz::CString(input.Field());
    std::string vid = fuzz::CString(input.Field());
    std::string pid = fuzz::CString(input.Field());
    std::string bcd = fuzz::CString(input.Field());
    KestrLaunchFacts facts = {};
    for (int32_t& part : facts.version.parts) {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) {
            bits = (bits << 8) | input.Byte();
        }
        part = static_cast<int32_t>(bits);
    }
    fuzz::Block commonBlock = fuzz::Terminated(commonFiles);
    fuzz::Block vidBlock = fuzz::Terminated(vid);
    fuzz::Block pidBlock = fuzz::Terminated(pid);
    fuzz::Block bcdBlock = fuzz::Terminated(bcd);
    fuzz::Block classBlock = fuzz::Terminated(className);
    fuzz::Block makerBlock = fuzz::Terminated(manufacturer);
    facts.commonFiles = commonBlock.bytes;
    facts.vid = vidBlock.bytes;
    facts.pid = pidBlock.bytes;
    facts.bcd = bcdBlock.bytes;
    facts.className = classBlock.bytes;
    facts.manufacturer = makerBlock.bytes;
    facts.needReboot = (settings & 1) != 0;

    const int32_t* v = facts.version.parts;
    std::string expected =
        fuzz::Printed(ZK_KESTR_COMMAND_LINE, facts.commonFiles, kKestrProgramName, facts.vid,
                      facts.pid, facts.bcd, facts.className, v[0], v[1], v[2], v[3],
                      facts.manufacturer, facts.needReboot ? " -reboot" : "");
    fuzz::Block out(kKestrCommandLineCapacity);
    bool ok = FormatKestrCommandLine(out.bytes, out.size, facts);
    FUZZ_CHECK(ok == (expected.size() < out.size));
    FUZZ_CHECK(std::string(out.bytes) == (ok ? expected : std::string()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    unsigned major = input.Byte();
    unsigned minor = (settings & 2) != 0 ? 0xFFFFFFFFu - input.Byte() : input.Byte();
    std::string section = input.Field();
    std::string value = input.Field();
    std::string manufacturer = input.Field();
    std::string className = input.Field();
    std::string rest = input.Rest();

    CheckSections(section, (settings & 4) != 0, major, minor);
    CheckSwitches(value);
    CheckCommandLine(settings, manufacturer, className, rest);
    return 0;
}
