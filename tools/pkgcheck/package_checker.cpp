#include "package_checker.h"

#include <strings.h>

#include "common/bounded_text.h"

namespace zk::pkgcheck {

const ArchitectureInfo& Info(Architecture architecture) {
    static const ArchitectureInfo kX86 = {"x86", "NTx86",      "x86",
                                          "xp",  kMachineI386, Architecture::X86};
    static const ArchitectureInfo kAmd64 = {"amd64", "NTamd64",     "amd64",
                                            "7",     kMachineAmd64, Architecture::Amd64};
    return architecture == Architecture::X86 ? kX86 : kAmd64;
}

std::string Bracket(const std::string& name) {
    return "[" + name + "]";
}

std::string LineOf(int line) {
    return "line " + std::to_string(line);
}

// "line N: " in front of what a line says, when the line is known.
std::string At(const InfLine& line) {
    return line.line > 0 ? LineOf(line.line) + ": " : std::string();
}

// "[name] (line N)" with the name as the INF spells it.
std::string Named(const InfSection& section) {
    return Bracket(section.name) + (section.line > 0 ? " (" + LineOf(section.line) + ")" : "");
}

std::string Field(const InfLine& line, size_t index) {
    return index < line.fields.size() ? line.fields[index] : std::string();
}

// File names as Windows compares them: without regard to case.
bool SameFileName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool EndsWithDll(const std::string& name) {
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".dll") == 0;
}

bool IsCoInstallerName(const std::string& name, const std::vector<std::string>& names) {
    for (const std::string& known : names) {
        if (SameFileName(name, known)) {
            return true;
        }
    }
    return false;
}

std::string Hex(unsigned long value, int digits) {
    FixedText<24> text;
    return text.Format("0x%0*lx", digits, value) ? text.c_str() : "0x?";
}

// A number as SetupGetIntField reads it: "0x" and hexadecimal digits, or
// decimal digits; empty is 0.
bool ReadInfNumber(const std::string& text, unsigned long* value) {
    *value = 0;
    size_t start = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        start = 2;
        base = 16;
    }
    for (size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        *value = (*value * base + digit) & 0xFFFFFFFFul;
    }
    return true;
}

// A path of the package as an INF gives it, parts joined by "\", empty ones left out.
std::string PackagePath(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts) {
        std::string piece;
        for (size_t i = 0; i <= part.size(); ++i) {
            if (i == part.size() || part[i] == '\\' || part[i] == '/') {
                if (!piece.empty() && piece != ".") {
                    path += (path.empty() ? "" : "\\") + piece;
                }
                piece.clear();
            } else {
                piece += part[i];
            }
        }
    }
    return path;
}

}  // namespace zk::pkgcheck
