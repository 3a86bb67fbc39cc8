#include "registration_check.h"

namespace zk::pkgcheck {

namespace {

// AddReg flags (setupapi.h).
constexpr unsigned long kFlagNoClobber = 0x00000002;
constexpr unsigned long kFlagDeleteValue = 0x00000004;
constexpr unsigned long kFlagAppend = 0x00000008;
constexpr unsigned long kFlagKeyOnly = 0x00000010;
constexpr unsigned long kFlagOverwriteOnly = 0x00000020;
constexpr unsigned long kFlagKeyOnlyCommon = 0x00002000;
constexpr unsigned long kFlagDelRegBit = 0x00008000;
constexpr unsigned long kFlagTypeMask = 0xFFFF0001;
constexpr unsigned long kFlagTypeMultiString = 0x00010000;

const char kValueName[] = "CoInstallers32";

// The name, as names spells it, of the file that a list string registers
// with the entry ZkCoInstaller; empty when no string does.
std::string RegisteredName(const CoInstallersValue& value, const std::vector<std::string>& names) {
    if (!value.present || !value.list) {
        return std::string();
    }
    for (const std::string& string : value.strings) {
        size_t comma = string.find(',');
        if (comma == std::string::npos ||
            string.compare(comma + 1, std::string::npos, kCoInstallerEntry) != 0) {
            continue;
        }
        for (const std::string& name : names) {
            if (SameFileName(string.substr(0, comma), name)) {
                return name;
            }
        }
    }
    return std::string();
}

// The INF line that put the string registering name into the value.
int LineOfEntry(const CoInstallersValue& value, const std::string& name) {
    for (size_t i = 0; i < value.strings.size(); ++i) {
        if (value.strings[i].size() > name.size() &&
            SameFileName(value.strings[i].substr(0, name.size()), name) &&
            value.strings[i][name.size()] == ',') {
            return value.lines[i];
        }
    }
    return 0;
}

// One CoInstallers32 line: empty when it registers zkcoinst.dll's entry.
struct RegistrationJudgement {
    bool namesCoInstaller = false;
    std::string problem;  // the first thing wrong with it
    std::string why;      // the same, short
};

RegistrationJudgement JudgeRegistration(const InfLine& line,
                                        const std::vector<std::string>& names) {
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
        if (!IsCoInstallerName(dll, names)) {
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

// Warns when the line that registers zkcoinst.dll replaced a list another
// co-installer's line wrote before it: that co-installer no longer runs.
void WarnDropped(Checker* checker, const InfLine& line, const CoInstallersValue& before,
                 const CoInstallersValue& after, ValueChange change, int depth) {
    if (change != ValueChange::Written || !before.present) {
        return;
    }
    std::string dropped;
    int from = 0;
    for (size_t i = 0; i < before.strings.size(); ++i) {
        bool kept = false;
        for (const std::string& string : after.strings) {
            kept = kept || SameFileName(string, before.strings[i]);
        }
        if (!kept) {
            dropped += (dropped.empty() ? "\"" : ", \"") + before.strings[i] + "\"";
            from = before.lines[i];
        }
    }
    if (dropped.empty()) {
        return;
    }
    checker->Warn(depth, At(line) + "this line replaces the CoInstallers32 value that line " +
                             std::to_string(from) + " wrote, so " + dropped +
                             " is no longer registered: give it the append flag, 0x00010008, "
                             "to add to the list");
}

}  // namespace

ValueChange ApplyAddRegLine(const InfLine& line, CoInstallersValue* value) {
    if (!SameInfName(Field(line, 0), "HKR") || !Field(line, 1).empty() ||
        !SameInfName(Field(line, 2), kValueName)) {
        return ValueChange::NotThisValue;
    }
    // Flags that are no number are no flags: SetupGetIntField fails and
    // SetupAPI goes on with 0, a REG_SZ value.
    unsigned long flags = 0;
    if (!ReadInfNumber(Field(line, 3), &flags)) {
        flags = 0;
    }
    if ((flags & (kFlagDeleteValue | kFlagDelRegBit)) != 0) {
        *value = CoInstallersValue();
        return ValueChange::Deleted;
    }
    if ((flags & (kFlagKeyOnly | kFlagKeyOnlyCommon)) != 0) {
        return ValueChange::KeyOnly;
    }
    if ((flags & kFlagNoClobber) != 0 && value->present) {
        return ValueChange::KeptExisting;
    }
    if ((flags & kFlagOverwriteOnly) != 0 && !value->present) {
        return ValueChange::NoneToOverwrite;
    }
    std::vector<std::string> strings;
    bool list = (flags & kFlagTypeMask) == kFlagTypeMultiString;
    for (size_t i = 4; i < line.fields.size(); ++i) {
        // A list ends at its first empty string, and a value of another
        // type is its first field alone.
        if (list && line.fields[i].empty()) {
            break;
        }
        strings.push_back(line.fields[i]);
        if (!list) {
            break;
        }
    }
    if (list && (flags & kFlagAppend) != 0 && value->present) {
        if (!value->list) {
            return ValueChange::NotAList;
        }
        for (const std::string& string : strings) {
            bool listed = false;
            for (const std::string& there : value->strings) {
                listed = listed || SameFileName(there, string);
            }
            if (!listed) {
                value->strings.push_back(string);
                value->lines.push_back(line.line);
            }
        }
        return ValueChange::Appended;
    }
    // Appending to no value at all writes the list (Windows; Wine's SetupAPI
    // writes nothing, see tests/win/pkgcheck).
    value->present = true;
    value->list = list;
    value->strings = strings;
    value->lines.assign(strings.size(), line.line);
    return ValueChange::Written;
}

CoInstallersValue ApplyCoInstallersSection(const InfFile& inf, const InfSection& coInstallers) {
    CoInstallersValue value;
    for (const InfLine& directive : coInstallers.lines) {
        if (!directive.hasKey || !SameInfName(directive.key, "AddReg")) {
            continue;
        }
        for (const std::string& item : directive.fields) {
            const InfSection* section = item.empty() ? nullptr : FindInfSection(inf, item);
            for (size_t i = 0; section != nullptr && i < section->lines.size(); ++i) {
                ApplyAddRegLine(section->lines[i], &value);
            }
        }
    }
    return value;
}

// One AddReg line of the .CoInstallers section: its CoInstallers32 lines.
void CheckAddReg(Checker* checker, const InfLine& directive,
                 const std::vector<std::string>& coInstallerNames, RegistrationResult* result,
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
            if (!SameInfName(Field(line, 2), kValueName)) {
                continue;
            }
            ++result->lines;
            RegistrationJudgement judgement = JudgeRegistration(line, coInstallerNames);
            CoInstallersValue before = result->value;
            std::string had = RegisteredName(before, coInstallerNames);
            ValueChange change = ApplyAddRegLine(line, &result->value);
            std::string has = RegisteredName(result->value, coInstallerNames);
            result->right = !has.empty();
            result->registered = has;
            if (judgement.problem.empty() && !has.empty() && had.empty()) {
                std::string name = SameFileName(has, kCoInstallerDll)
                                       ? has
                                       : has +
                                             " (zkcoinst.dll under another name, known by its "
                                             "exports)";
                checker->Say(depth + 1, At(line) + InfLineSource(line) + " -> registers " + name +
                                            ", entry ZkCoInstaller (REG_MULTI_SZ in the driver "
                                            "key)");
                WarnDropped(checker, line, before, result->value, change, depth + 1);
                continue;
            }
            checker->Say(depth + 1, At(line) + InfLineSource(line) +
                                        (change == ValueChange::Appended && !has.empty()
                                             ? " -> adds to the CoInstallers32 list"
                                             : ""));
            if (!had.empty() && has.empty()) {
                // The last line wins: ours is gone.
                std::string by = change == ValueChange::Deleted
                                     ? "deletes CoInstallers32"
                                     : "replaces CoInstallers32 with a value that does not "
                                       "register " +
                                           had;
                if (judgement.namesCoInstaller && !judgement.problem.empty()) {
                    by += " (" + judgement.problem + ")";
                }
                checker->Warn(depth + 1,
                              At(line) + "this line " + by + ", which line " +
                                  std::to_string(LineOfEntry(before, had)) +
                                  " registered: SetupAPI applies the lines in order and the last "
                                  "one wins; give a line that only adds a co-installer the append "
                                  "flag, 0x00010008, so that it adds to the list");
                result->lostWhy = "a later CoInstallers32 line" +
                                  (line.line > 0 ? " (" + LineOf(line.line) + ")" : "") +
                                  " replaces the entry of " + had;
                result->warned = true;
                continue;
            }
            if (judgement.problem.empty() && has.empty()) {
                // The line itself is right; what it met made it write nothing.
                std::string why;
                switch (change) {
                    case ValueChange::KeptExisting:
                        why =
                            "its flag 0x00000002 (FLG_ADDREG_NOCLOBBER) keeps the value an "
                            "earlier line wrote, so it adds nothing";
                        break;
                    case ValueChange::NoneToOverwrite:
                        why =
                            "its flag 0x00000020 (FLG_ADDREG_OVERWRITEONLY) writes only a value "
                            "that is there already, and a new driver key has none";
                        break;
                    case ValueChange::NotAList:
                        why =
                            "the append flag adds only to a REG_MULTI_SZ list, and an earlier "
                            "line wrote CoInstallers32 as another type";
                        break;
                    default:
                        why =
                            "a REG_MULTI_SZ list ends at its first empty string, and the "
                            "line's strings after its empty one are not written";
                        break;
                }
                checker->Warn(depth + 1, At(line) + "this line registers nothing: " + why);
                result->lostWhy = "the CoInstallers32 line of zkcoinst.dll" +
                                  (line.line > 0 ? " (" + LineOf(line.line) + ")" : "") +
                                  " writes nothing";
                result->warned = true;
                continue;
            }
            if (judgement.problem.empty()) {
                continue;
            }
            if (!had.empty() || !has.empty()) {
                continue;  // another co-installer's line beside ours: no fault of its own
            }
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
