// The checker's reader of regedit exports, and the companion-program check
// over what it read. Input: a settings byte (bit 0: the Windows version is 7
// rather than XP; bit 1: also read the text as UTF-16LE), then the file.
#include <strings.h>

#include "fuzz_support.h"
#include "reg_file.h"
#include "registered_check.h"

namespace {

using zk::inicheck::ParseRegFile;
using zk::inicheck::RegFile;

size_t LineCount(const std::string& text) {
    size_t lines = 1;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

void CheckInvariants(const RegFile& file, size_t lines) {
    for (size_t k = 0; k < file.keys.size(); ++k) {
        const zk::inicheck::RegKey& key = file.keys[k];
        FUZZ_CHECK(key.line >= 2 && static_cast<size_t>(key.line) <= lines);
        // One key per name, one value per name within it, as in the registry.
        for (size_t other = k + 1; other < file.keys.size(); ++other) {
            FUZZ_CHECK(strcasecmp(key.path.c_str(), file.keys[other].path.c_str()) != 0);
        }
        for (size_t v = 0; v < key.values.size(); ++v) {
            const zk::inicheck::RegValue& value = key.values[v];
            FUZZ_CHECK(value.line > key.line && static_cast<size_t>(value.line) <= lines);
            // dword: data is always 4 bytes; hex(4): data is what it lists.
            FUZZ_CHECK(strncasecmp(value.written.c_str(), "dword:", 6) != 0 ||
                       (value.type == zk::inicheck::kRegDword && value.data.size() == 4));
            for (size_t other = v + 1; other < key.values.size(); ++other) {
                FUZZ_CHECK(strcasecmp(value.name.c_str(), key.values[other].name.c_str()) != 0);
            }
        }
    }
    for (const zk::inicheck::RegProblem& problem : file.problems) {
        FUZZ_CHECK(problem.line >= 2 && static_cast<size_t>(problem.line) <= lines);
    }
    FUZZ_CHECK(file.isRegistryScript || (file.keys.empty() && file.problems.empty()));
}

// ASCII text reads the same from an ANSI file and from a UTF-16LE one.
void CheckSameAsWide(const RegFile& ansi, const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return;
        }
    }
    std::string wide = "\xFF\xFE";
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    RegFile read = ParseRegFile(wide);
    FUZZ_CHECK(read.isRegistryScript == ansi.isRegistryScript);
    FUZZ_CHECK(read.version5 == ansi.version5);
    FUZZ_CHECK(read.problems.size() == ansi.problems.size());
    FUZZ_CHECK(read.lossyLines.empty());
    FUZZ_CHECK(read.keys.size() == ansi.keys.size());
    for (size_t k = 0; k < read.keys.size(); ++k) {
        FUZZ_CHECK(read.keys[k].path == ansi.keys[k].path);
        FUZZ_CHECK(read.keys[k].values.size() == ansi.keys[k].values.size());
        for (size_t v = 0; v < read.keys[k].values.size(); ++v) {
            FUZZ_CHECK(read.keys[k].values[v].data == ansi.keys[k].values[v].data);
            FUZZ_CHECK(read.keys[k].values[v].type == ansi.keys[k].values[v].type);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    std::string text = input.Rest();
    RegFile file = ParseRegFile(text);
    if (zk::inicheck::DetectEncoding(text) == zk::inicheck::TextEncoding::Ansi) {
        CheckInvariants(file, LineCount(text));
        if ((settings & 2) != 0) {
            CheckSameAsWide(file, text);
        }
    }
    if (file.isRegistryScript) {
        zk::inicheck::CheckOptions options;
        options.version = zk::inicheck::FindWindowsVersion((settings & 1) != 0 ? "7" : "xp");
        options.hardwareId = "USB\\VID_1BCF&PID_2C6A&MI_00";
        zk::inicheck::CheckReport report = zk::inicheck::CheckRegisteredPrograms(file, options);
        FUZZ_CHECK(!report.text.empty());
    }
    return 0;
}
