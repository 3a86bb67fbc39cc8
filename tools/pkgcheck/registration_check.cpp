#include "registration_check.h"

namespace zk::pkgcheck {

namespace {

// AddReg flags (setupapi.h).
constexpr unsigned long kFlagDeleteValue = 0x00000004;
constexpr unsigned long kFlagKeyOnly = 0x00000010;
constexpr unsigned long kFlagTypeMask = 0xFFFF0001;
constexpr unsigned long kFlagTypeMultiString = 0x00010000;

// One CoInstallers32 line: empty when it registers zkcoinst.dll's entry.
struct RegistrationJudgement {
    bool namesCoInstaller = false;
    std::string problem;  // the first thing wrong with it
    std::string why;      // the same, short
};

RegistrationJudgement JudgeRegistration(const InfLine& line) {
    RegistrationJudgement judgement;
    // reg-root, subkey, value name, flags, then the strings of the list.
    std::vector<std::string> values;
    if (line.fields.size() > 4) {
        values.assign(line.fields.begin() + 4, line.fields.end());
    }
    std::string named;
    std::string entryProblem;
    std::string entryWhy;
    bool entryRight = false;
    for (const std::string& value : values) {
        size_t comma = value.find(',');
        std::string dll = value.substr(0, comma);
        named += (named.empty() ? "\"" : ", \"") + value + "\"";
        if (!SameFileName(dll, kCoInstallerDll)) {
            continue;
        }
        judgement.namesCoInstaller = true;
        std::string entry = comma == std::string::npos ? std::string() : value.substr(comma + 1);
        if (entry == kCoInstallerEntry) {
            entryRight = true;
        } else if (entryProblem.empty() && comma == std::string::npos) {
            entryProblem = "\"" + value +
                           "\" names no entry, so the device installer calls "
                           "CoDeviceInstall, which zkcoinst.dll does not export";
            entryWhy = "CoInstallers32 names no entry";
        } else if (entryProblem.empty() && SameFileName(entry, kCoInstallerEntry)) {
            entryProblem = "the entry \"" + entry +
                           "\" is not ZkCoInstaller: GetProcAddress, "
                           "which finds the entry, tells case apart";
            entryWhy = "the entry " + entry + " differs from ZkCoInstaller in case";
        } else if (entryProblem.empty()) {
            entryProblem = "the entry \"" + entry + "\" is not ZkCoInstaller";
            entryWhy = "the entry " + entry + " is not ZkCoInstaller";
        }
    }
    std::string root = Field(line, 0);
    std::string flagsText = Field(line, 3);
    unsigned long flags = 0;
    bool flagsRead = ReadInfNumber(flagsText, &flags);
    if (!SameInfName(root, "HKR")) {
        judgement.problem = "CoInstallers32 goes to " + root +
                            ", not to HKR (the device's driver key, where the device installer "
                            "looks for it)";
        judgement.why = "CoInstallers32 is not written to HKR";
    } else if (!Field(line, 1).empty()) {
        judgement.problem = "CoInstallers32 goes to the subkey " + Field(line, 1) +
                            " of the driver key; the device installer reads it from the driver "
                            "key itself";
        judgement.why = "CoInstallers32 is written to a subkey";
    } else if (!flagsRead) {
        judgement.problem = "the flags \"" + flagsText + "\" are no number";
        judgement.why = "the flags of CoInstallers32 are no number";
    } else if ((flags & kFlagDeleteValue) != 0) {
        judgement.problem = "the flags " + flagsText +
                            " hold 0x00000004 (FLG_ADDREG_DELVAL): "
                            "the line deletes CoInstallers32";
        judgement.why = "the line deletes CoInstallers32";
    } else if ((flags & kFlagKeyOnly) != 0) {
        judgement.problem = "the flags " + flagsText +
                            " hold 0x00000010 (FLG_ADDREG_KEYONLY): "
                            "no value is written";
        judgement.why = "CoInstallers32 is not written";
    } else if ((flags & kFlagTypeMask) != kFlagTypeMultiString) {
        std::string written = (flags & kFlagTypeMask) == 0
                                  ? std::string("REG_SZ")
                                  : "type " + Hex(flags & kFlagTypeMask, 8);
        judgement.problem =
            (flagsText.empty() ? std::string("the line gives no flags, so it leaves")
                               : "the flags " + flagsText + " leave") +
            " out 0x00010000 (FLG_ADDREG_TYPE_MULTI_SZ): CoInstallers32 "
            "is written as " +
            written + ", and the device installer reads only a REG_MULTI_SZ list";
        judgement.why = "CoInstallers32 is not REG_MULTI_SZ (flag 0x00010000 missing)";
    } else if (values.empty()) {
        judgement.problem = "CoInstallers32 gets no string";
        judgement.why = "CoInstallers32 names no co-installer";
    } else if (!judgement.namesCoInstaller) {
        judgement.problem = "CoInstallers32 names " + named + ", not zkcoinst.dll";
        judgement.why = "CoInstallers32 does not name zkcoinst.dll";
    } else if (!entryRight) {
        judgement.problem = entryProblem;
        judgement.why = entryWhy;
    }
    return judgement;
}

}  // namespace

// One AddReg line of the .CoInstallers section: its CoInstallers32 lines.
void CheckAddReg(Checker* checker, const InfLine& directive, RegistrationResult* result,
                 int depth) {
    result->sawAddReg = true;
    checker->Say(depth, At(directive) + "AddReg=" + InfLineText(directive));
    for (const std::string& item : directive.fields) {
        if (item.empty()) {
            continue;
        }
        const InfSection* section = checker->Section(item);
        if (section == nullptr) {
            checker->Warn(depth + 1, At(directive) + "AddReg names " + Bracket(item) +
                                         ", which is not in the INF");
            continue;
        }
        for (const InfLine& line : section->lines) {
            if (!SameInfName(Field(line, 2), "CoInstallers32")) {
                continue;
            }
            ++result->lines;
            RegistrationJudgement judgement = JudgeRegistration(line);
            if (judgement.problem.empty()) {
                result->right = true;
                checker->Say(depth + 1, At(line) + InfLineSource(line) +
                                            " -> registers zkcoinst.dll, entry ZkCoInstaller "
                                            "(REG_MULTI_SZ in the driver key)");
                continue;
            }
            checker->Say(depth + 1, At(line) + InfLineSource(line));
            // A line of another co-installer is no fault of its own: it
            // counts only when no line registers zkcoinst.dll.
            if (judgement.namesCoInstaller) {
                checker->Warn(depth + 1, At(line) + judgement.problem);
                if (!result->warned) {
                    result->firstWhy = judgement.why;
                }
                result->warned = true;
            } else if (result->firstProblem.empty()) {
                result->firstProblem = At(line) + judgement.problem;
                if (!result->warned) {
                    result->firstWhy = judgement.why;
                }
            }
        }
    }
}

}  // namespace zk::pkgcheck
