#include "run_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "text_wrap.h"

namespace zk::logcheck {

namespace {

constexpr size_t kWidth = 100;

// A text as it can be printed: bytes other than printable ASCII and the
// upper half (the ANSI code page's letters) shown as \xNN.
std::string Printable(const std::string& text) {
    std::string shown;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            (void)snprintf(escape, sizeof(escape), "\\x%02X", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

// "label: text" indented, wrapped at blanks, continued lines under the text.
void Wrapped(std::string* out, size_t indent, const std::string& label, const std::string& text) {
    *out += WrapText(std::string(indent, ' ') + label, text, indent + label.size(), kWidth);
}

std::string Plural(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Value(const LogEntry& entry, size_t index) {
    return index < entry.values.size() ? Printable(entry.values[index]) : std::string();
}

// The DIF code a "DIF Code:" or "Unhandled DIF Code:" text names.
std::string DifLabel(const LogEntry& entry) {
    if (entry.known->kind == TextKind::UnhandledDif) {
        int code = static_cast<int>(strtol(Value(entry, 0).c_str(), nullptr, 10));
        const char* name = DifCodeName(code);
        return std::string(name != nullptr ? name : "an unknown code") + " (" +
               std::to_string(code) + ", passed)";
    }
    std::string text = entry.known->format + strlen("DIF Code: ");
    text = text.substr(0, text.find(" --"));
    // The DLL spells pre-processing "Pro-processing".
    size_t open = text.find(" (");
    if (open != std::string::npos) {
        std::string phase = text.substr(open + 2, text.size() - open - 3);
        text = text.substr(0, open) +
               (phase[0] == 'P' && phase[1] == 'r' ? " pre-processing" : " post-processing");
    }
    return text;
}

struct DoneItem {
    std::string phase;  // the DIF code it was done in; empty before the first
    std::string text;
    std::string outcome;  // empty: done as said
    size_t entry = 0;     // the message that made it or changed it last
};

struct RunFacts {
    bool setupEntry = false;
    std::string section;
    std::string infFolder;
    std::string className;
    std::vector<std::string> difs;
    std::vector<DoneItem> done;
    std::vector<const LogEntry*> findings;  // ERRORs, WARNINGs, failures, unknown texts
    int errors = 0;
    int warnings = 0;
};

bool IsError(const LogEntry& entry) {
    return entry.known != nullptr ? entry.known->kind == TextKind::Error
                                  : entry.text.compare(0, 6, "ERROR:") == 0;
}

bool IsWarning(const LogEntry& entry) {
    return entry.known != nullptr ? entry.known->kind == TextKind::Warning
                                  : entry.text.compare(0, 8, "WARNING:") == 0;
}

// What the message says was done, added to the run's list.
void Note(RunFacts* facts, const LogEntry& entry, size_t index, bool setupEntry) {
    std::string phase = facts->difs.empty() ? std::string() : facts->difs.back();
    auto add = [&](const std::string& text) { facts->done.push_back({phase, text, "", index}); };
    // The item that the message just before this one made or changed.
    DoneItem* last = !facts->done.empty() && facts->done.back().entry + 1 == index
                         ? &facts->done.back()
                         : nullptr;
    // Says how the message changes that item: what became of it.
    auto amend = [&](const std::string& outcome) {
        if (last != nullptr) {
            last->outcome = outcome;
            last->entry = index;
        }
    };
    switch (entry.known->effect) {
        case Effect::None:
            break;
        case Effect::SetupEntry:
            facts->setupEntry = true;
            break;
        case Effect::Section:
            facts->section = Value(entry, 0);
            break;
        case Effect::InfFolder:
            facts->infFolder = Value(entry, 0);
            break;
        case Effect::SwitchState:
            facts->className = Value(entry, 0);
            add("web-update switch " + Value(entry, 0) + ": " + Value(entry, 1) + " (value \"" +
                Value(entry, 2) + "\")");
            break;
        case Effect::FilterRemoved:
            add("class filter entry " + Value(entry, 0) +
                " taken out of a class filter list (its service or its driver file is gone)");
            break;
        case Effect::MonitorInstalled:
            add("bandwidth monitor ZKUSBSta installed: its service key, and its entry in the "
                "LowerFilters of the Image and MEDIA classes");
            break;
        case Effect::FilterNotListed:
            if (last != nullptr) {
                last->text = Value(entry, 2) +
                             " installed without its class filter list entries: its service key "
                             "only, since its driver file is missing (line " +
                             std::to_string(entry.line) + ")";
                last->entry = index;
            }
            break;
        case Effect::FinishActionNotOurs:
            add("nothing started: this co-installer did not want the finish-install action "
                "(NoFNW=1 and the web-update switch off); another installer asked for it");
            break;
        case Effect::MonitorSkipped:
            add("bandwidth monitor not installed (103,NO_ROVudevid)");
            break;
        case Effect::RegistryWrite:
            add("DWORD 1 written to HKLM\\" + Value(entry, 0) + " if its key exists (a 102 line)");
            break;
        case Effect::RegistryDelete:
            add("value HKLM\\" + Value(entry, 0) + " deleted if it is there (a 100 line)");
            break;
        case Effect::StartsRegsvr32:
            add("started: regsvr32 /s " + Value(entry, 0) + " (not waited for)");
            break;
        case Effect::StartsServer:
            add("started: " + Value(entry, 0) + " /REGSERVER (not waited for)");
            break;
        case Effect::StartsCompanion:
            add("started: " + Value(entry, 0) + " (companion program)");
            break;
        case Effect::StartsProgram:
            add("started: " + Value(entry, 0) +
                (Value(entry, 0).find("xwvalueadd.exe") != std::string::npos
                     ? " (value-add program)"
                     : ""));
            break;
        case Effect::StartsWebUpdate:
            add("started: " + Value(entry, 0) + " (web-update program)");
            break;
        case Effect::CopiesHidDriver:
            add("hidusb.sys copied to <system directory>\\Drivers (101,CopyHIDUSBDriver)");
            break;
        case Effect::SetsCodec:
            add("codec VIDC.I420 set to zkcodec2.dll");
            break;
        case Effect::Restoring:
            add("shared file restored: the newer copy " + Value(entry, 0) +
                " put in place of the installed one");
            break;
        case Effect::RestoreSkipped:
            amend("not done: the installed file is missing");
            break;
        case Effect::Deferred:
            if (Value(entry, 0) == "stage") {
                // The copy for the next start could not be made: nothing is left to it.
                amend("not done, and not left for the next start either (line " +
                      std::to_string(entry.line) + ")");
                break;
            }
            amend("not now (line " + std::to_string(entry.line) +
                  "): the installed file is in use or cannot be replaced, so the copy takes its "
                  "place at the next start (" +
                  (setupEntry ? "WinInit.ini [rename]" : "PendingFileRenameOperations") + ")");
            break;
        case Effect::Undone:
            if (last != nullptr) {
                amend(std::string(last->outcome.empty()
                                      ? "not done"
                                      : "not done, and not left for the next start either") +
                      " (line " + std::to_string(entry.line) + ")");
            }
            break;
    }
}

RunFacts GatherFacts(const LogRun& run) {
    RunFacts facts;
    for (const LogEntry& entry : run.entries) {
        if (entry.known != nullptr && entry.known->effect == Effect::SetupEntry) {
            facts.setupEntry = true;
        }
    }
    for (size_t i = 0; i < run.entries.size(); ++i) {
        const LogEntry& entry = run.entries[i];
        if (IsError(entry)) {
            ++facts.errors;
        } else if (IsWarning(entry)) {
            ++facts.warnings;
        }
        if (entry.known == nullptr || entry.known->cause != nullptr) {
            facts.findings.push_back(&entry);
        }
        if (entry.known == nullptr) {
            continue;
        }
        if (entry.known->kind == TextKind::Dif || entry.known->kind == TextKind::UnhandledDif) {
            facts.difs.push_back(DifLabel(entry));
        }
        Note(&facts, entry, i, facts.setupEntry);
    }
    return facts;
}

std::string DeviceLine(const RunFacts& facts) {
    if (facts.setupEntry) {
        return "none: a setup program's run of section [" + facts.section +
               "] (rundll32 zkcoinst.dll,SetupEntryPoint " + facts.section + ")";
    }
    std::vector<std::string> parts;
    if (!facts.section.empty()) {
        parts.push_back("install section " + facts.section + " (its zkcoinst.ini section [" +
                        facts.section + "] ran)");
    }
    if (facts.className == "Video") {
        parts.push_back("Image class (web-update key Video)");
    } else if (facts.className == "Audio") {
        parts.push_back("Media class (web-update key Audio)");
    }
    if (!facts.infFolder.empty()) {
        parts.push_back("installed from " + facts.infFolder);
    }
    if (parts.empty()) {
        return "not named (no step that names it is in this run)";
    }
    std::string line;
    for (const std::string& part : parts) {
        line += (line.empty() ? "" : ", ") + part;
    }
    return line;
}

void ExplainRun(const LogRun& run, int number, Explanation* explanation) {
    RunFacts facts = GatherFacts(run);
    std::string& out = explanation->text;
    std::string heading = "run " + std::to_string(number) + " (";
    if (run.startLine == 0) {
        heading += "lines " + std::to_string(run.entries.empty() ? 0 : run.entries[0].line) + "-" +
                   std::to_string(run.lastLine) + "): messages outside any run";
    } else {
        heading +=
            "lines " + std::to_string(run.startLine) + "-" + std::to_string(run.lastLine) + "): " +
            (facts.setupEntry     ? std::string("SetupEntryPoint, run by a setup program")
             : facts.difs.empty() ? std::string("no DIF code logged")
                                  : std::string("the device installer, through ZkCoInstaller")) +
            ", started " + Printable(run.started);
    }
    out += heading + "\n";
    if (run.startLine != 0 && run.stopLine == 0) {
        Wrapped(&out, 2, "",
                "cut short: no stop line (the DLL was unloaded or its process ended before the "
                "run's end; under Wine's device installer every call is such a run)");
    } else if (run.startLine != 0) {
        out += "  stopped " + Printable(run.stopped) + "\n";
    }
    if (!run.binary.empty()) {
        out += "  binary: " + Printable(run.binary) + "\n";
    }
    Wrapped(&out, 2, "device: ", DeviceLine(facts));
    std::string difs;
    for (const std::string& dif : facts.difs) {
        difs += (difs.empty() ? "" : ", ") + dif;
    }
    Wrapped(&out, 2, "DIF codes: ", difs.empty() ? std::string("none") : difs);
    if (facts.done.empty()) {
        out += "  done: nothing that the log records\n";
    } else {
        out += "  done:\n";
        const std::string* phase = nullptr;
        for (const DoneItem& item : facts.done) {
            if (phase == nullptr || *phase != item.phase) {
                phase = &item.phase;
                out += "    " +
                       (item.phase.empty() ? std::string("before any DIF code") : item.phase) +
                       ":\n";
            }
            Wrapped(&out, 6, "- ",
                    item.text + (item.outcome.empty() ? std::string() : ": " + item.outcome));
        }
    }
    out += "  " + Plural(facts.errors, "ERROR", "ERRORs") + ", " +
           Plural(facts.warnings, "WARNING", "WARNINGs") + "\n";
    for (const LogEntry* entry : facts.findings) {
        Wrapped(&out, 2, "line " + std::to_string(entry->line) + ": ", Printable(entry->text));
        if (entry->known == nullptr) {
            Wrapped(&out, 4, "",
                    "not a text of this zkcoinst.dll: another version of the DLL wrote it, or "
                    "the file is damaged here");
            continue;
        }
        Wrapped(&out, 4, "cause: ", entry->known->cause);
        Wrapped(&out, 4, "fix: ", entry->known->fix);
    }
    ++explanation->runs;
    explanation->runsWithErrors += facts.errors > 0 ? 1 : 0;
    explanation->runsWithWarnings += facts.warnings > 0 ? 1 : 0;
}

}  // namespace

void ExplainLog(const std::string& name, const LogFile& log, Explanation* explanation) {
    std::string& out = explanation->text;
    out += name + ": " + Plural(static_cast<int>(log.runs.size()), "run", "runs") + "\n";
    for (const std::string& line : log.header) {
        out += "  " + Printable(line) + "\n";
    }
    for (const LogEntry& stray : log.strays) {
        bool zeros = stray.text.find_first_not_of('\0') == std::string::npos;
        Wrapped(&out, 2, "line " + std::to_string(stray.line) + ": ",
                zeros ? Plural(static_cast<int>(stray.text.size()), "NUL byte", "NUL bytes") +
                            " (the file was cut short here by a power loss or a crash; what "
                            "follows was written later)"
                      : Printable(stray.text) + " (not a line of zkcoinst.log's format: skipped)");
    }
    int number = 0;
    for (const LogRun& run : log.runs) {
        out += "\n";
        ExplainRun(run, ++number, explanation);
    }
}

std::string ClosingLine(const Explanation& explanation) {
    return Plural(explanation.runs, "run", "runs") + ": " +
           (explanation.runsWithErrors == 0
                ? std::string("none with ERRORs")
                : std::to_string(explanation.runsWithErrors) + " with ERRORs") +
           ", " +
           (explanation.runsWithWarnings == 0
                ? std::string("none with WARNINGs")
                : std::to_string(explanation.runsWithWarnings) + " with WARNINGs");
}

}  // namespace zk::logcheck
