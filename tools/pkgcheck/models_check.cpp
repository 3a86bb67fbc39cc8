#include "models_check.h"

#include <strings.h>

#include "install_section_check.h"

namespace zk::pkgcheck {

namespace {

// A TargetOSVersion: "NT", a processor, then ".major.minor..." if any.
DecorationKind ReadDecoration(const std::string& text, Architecture* architecture,
                              std::string* processor) {
    if (text.size() < 2 || strncasecmp(text.c_str(), "NT", 2) != 0) {
        *processor = text;
        return DecorationKind::Unknown;
    }
    size_t dot = text.find('.', 2);
    *processor = text.substr(2, dot == std::string::npos ? std::string::npos : dot - 2);
    // "NT" alone serves x86: other processors need their own decoration.
    if (processor->empty() || strcasecmp(processor->c_str(), "x86") == 0) {
        *architecture = Architecture::X86;
        return DecorationKind::Checked;
    }
    if (strcasecmp(processor->c_str(), "amd64") == 0) {
        *architecture = Architecture::Amd64;
        return DecorationKind::Checked;
    }
    for (const char* other : {"ia64", "arm", "arm64"}) {
        if (strcasecmp(processor->c_str(), other) == 0) {
            return DecorationKind::OtherProcessor;
        }
    }
    return DecorationKind::Unknown;
}

std::string Purpose(const Decoration& decoration) {
    if (decoration.decoration.empty()) {
        return "x86, undecorated: read by Windows 2000 and by x86 Windows that no decoration "
               "matches";
    }
    if (decoration.processor.empty()) {
        return "x86 (NT without a processor serves x86 only)";
    }
    return Info(decoration.architecture).name;
}

}  // namespace

std::vector<Decoration> CollectDecorations(Checker* checker, const InfSection& manufacturer) {
    std::vector<Decoration> decorations;
    for (const InfLine& line : manufacturer.lines) {
        std::string models = Field(line, 0);
        if (models.empty()) {
            checker->Warn(0, At(line) + "the [Manufacturer] line names no models section");
            continue;
        }
        bool decorated = false;
        for (size_t i = 1; i < line.fields.size(); ++i) {
            decorated = decorated || !line.fields[i].empty();
        }
        // Windows 2000, and x86 Windows that no decoration matches, read the
        // undecorated section; 64-bit Windows never does.
        if (!decorated || checker->Section(models) != nullptr) {
            Decoration undecorated;
            undecorated.models = models;
            undecorated.line = line.line;
            decorations.push_back(undecorated);
        }
        for (size_t i = 1; i < line.fields.size(); ++i) {
            if (line.fields[i].empty()) {
                continue;
            }
            Decoration decoration;
            decoration.models = models + "." + line.fields[i];
            decoration.decoration = line.fields[i];
            decoration.line = line.line;
            decoration.kind =
                ReadDecoration(line.fields[i], &decoration.architecture, &decoration.processor);
            decorations.push_back(decoration);
        }
    }
    return decorations;
}

// One models section: every install section its model lines name.
void CheckDecoration(Checker* checker, const Decoration& decoration) {
    const InfSection* models = checker->Section(decoration.models);
    std::string heading = models != nullptr ? Named(*models) : Bracket(decoration.models);
    std::string manufacturerLine = decoration.line > 0 ? LineOf(decoration.line) + ": " : "";
    Verdict verdict;
    if (decoration.kind == DecorationKind::OtherProcessor) {
        checker->Say(0, heading + ": " + decoration.processor +
                            ", not checked (zkcoinst.dll is built for x86 and amd64)");
        return;
    }
    ++checker->report.decorations;
    if (decoration.kind == DecorationKind::Unknown) {
        checker->Say(0, heading + ": no Windows");
        checker->Warn(1, manufacturerLine + "the decoration " + decoration.decoration +
                             " of [Manufacturer] names no processor that Windows knows (NTx86, "
                             "NTamd64, NTia64, NTarm, NTarm64), so no Windows reads " +
                             Bracket(decoration.models));
        verdict.Stop("no Windows reads " + Bracket(decoration.models));
    } else if (models == nullptr) {
        checker->Say(0, heading + ": " + Purpose(decoration));
        checker->Warn(
            1, manufacturerLine + "[Manufacturer] names " + heading + ", which is not in the INF");
        verdict.Stop(heading + " is missing");
    } else {
        checker->Say(0, heading + ": " + Purpose(decoration));
        // Model lines grouped by the install section they name, in order.
        std::vector<const InfLine*> first;
        std::vector<int> counts;
        for (const InfLine& line : models->lines) {
            if (Field(line, 0).empty()) {
                checker->Warn(1, At(line) + "the model line names no install section");
                continue;
            }
            size_t i = 0;
            while (i < first.size() && !SameInfName(Field(*first[i], 0), Field(line, 0))) {
                ++i;
            }
            if (i == first.size()) {
                first.push_back(&line);
                counts.push_back(0);
            }
            ++counts[i];
        }
        if (first.empty()) {
            checker->Warn(1, heading + " lists no model");
            verdict.Stop(heading + " lists no model");
        }
        for (size_t i = 0; i < first.size(); ++i) {
            Verdict section;
            CheckInstallSection(checker, decoration.architecture, *first[i], counts[i], &section);
            if (!section.reason.empty()) {
                verdict.Stop(first.size() > 1 ? Field(*first[i], 0) + ": " + section.reason
                                              : section.reason);
            }
        }
    }
    if (verdict.reason.empty()) {
        ++checker->report.sound;
        checker->Say(1, "verdict: the co-installer will run");
    } else {
        checker->Say(1, "verdict: the co-installer will not run: " + verdict.reason);
    }
}

}  // namespace zk::pkgcheck
