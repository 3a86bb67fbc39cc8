#include "launch/web_update_core.h"

#include "common/bounded_text.h"
#include "common/leading_int.h"

const char kKestrProgramName[] = "Kestr32.exe";

void BuildKestrSectionSearch(const char* installSection, bool haveVersion, unsigned major,
                             unsigned minor, KestrSectionSearch* search) {
    search->count = 0;
    auto add = [search](bool formed) {
        if (formed) {
            ++search->count;
        }
    };
    if (haveVersion) {
        add(zk::FormatText(search->names[search->count], kSectionNameCapacity, "%s.KESTR.%u.%u",
                           installSection, major, minor));
    }
    add(zk::FormatText(search->names[search->count], kSectionNameCapacity, "%s.KESTR",
                       installSection));
    if (haveVersion) {
        add(zk::FormatText(search->names[search->count], kSectionNameCapacity, "%s.%u.%u",
                           "KESTR.DevType", major, minor));
    }
    add(zk::CopyText(search->names[search->count], kSectionNameCapacity, "KESTR.DevType"));
}

bool IsSwitchValueOn(const char* value) {
    return ParseLeadingInt(value) == 1;
}

bool IsNoFNWValueSet(const char* value) {
    return value[0] != '\0' && ParseLeadingInt(value) == 1;
}

bool FormatKestrCommandLine(char* out, size_t capacity, const KestrLaunchFacts& facts) {
    const DriverVersion& v = facts.version;
    return zk::FormatText(out, capacity, ZK_KESTR_COMMAND_LINE, facts.commonFiles,
                          kKestrProgramName, facts.vid, facts.pid, facts.bcd, facts.className,
                          static_cast<int>(v.parts[0]), static_cast<int>(v.parts[1]),
                          static_cast<int>(v.parts[2]), static_cast<int>(v.parts[3]),
                          facts.manufacturer, facts.needReboot ? " -reboot" : "");
}
