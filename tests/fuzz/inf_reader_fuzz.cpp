// An INF file as any driver package may bring one, read as SetupAPI reads
// it. Input: the file's bytes.
//
// Every line read must keep the reader's limits and shapes, every section be
// found by its own name, and every line that holds no replaced string read
// back the same from the text that zkpkgcheck shows for it.
#include <string>

#include "fuzz_support.h"
#include "inf_reader.h"

namespace {

using zk::pkgcheck::InfError;
using zk::pkgcheck::InfFile;
using zk::pkgcheck::InfLine;
using zk::pkgcheck::InfSection;

const char kVersion[] = "[Version]\nSignature=$Chicago$\n[S]\n";

bool RoundTrips(const InfLine& line) {
    if (line.key.size() > zk::pkgcheck::kMaxInfFieldLength ||
        line.key.find('%') != std::string::npos) {
        return true;  // strings were put in: the shown text would be read again
    }
    for (const std::string& field : line.fields) {
        if (field.size() > zk::pkgcheck::kMaxInfFieldLength ||
            field.find('%') != std::string::npos) {
            return true;
        }
    }
    InfFile again;
    std::string text = kVersion + zk::pkgcheck::InfLineSource(line) + "\n";
    if (zk::pkgcheck::ReadInf(text, &again).error != InfError::None) {
        return false;
    }
    const InfSection* section = zk::pkgcheck::FindInfSection(again, "S");
    if (section == nullptr || section->lines.size() != 1) {
        return false;
    }
    const InfLine& read = section->lines[0];
    return read.hasKey == line.hasKey && read.key == line.key && read.fields == line.fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    InfFile file;
    zk::pkgcheck::InfReadResult result = zk::pkgcheck::ReadInf(bytes, &file);
    if (result.error != InfError::None) {
        FUZZ_CHECK(file.sections.empty());
        FUZZ_CHECK(result.line >= 0 && static_cast<size_t>(result.line) <= size + 1);
        return 0;
    }
    for (const InfSection& section : file.sections) {
        FUZZ_CHECK(section.name.size() <= zk::pkgcheck::kMaxInfSectionNameLength);
        FUZZ_CHECK(zk::pkgcheck::FindInfSection(file, section.name) == &section);
        for (const InfLine& line : section.lines) {
            FUZZ_CHECK(line.line >= 1 && static_cast<size_t>(line.line) <= size + 1);
            FUZZ_CHECK(!line.fields.empty());
            // One field and no "=" make the field the key.
            FUZZ_CHECK(line.hasKey || line.fields.size() > 1);
            FUZZ_CHECK(line.key.size() <= zk::pkgcheck::kMaxInfStringLength);
            for (const std::string& field : line.fields) {
                FUZZ_CHECK(field.size() <= zk::pkgcheck::kMaxInfStringLength);
                FUZZ_CHECK(field.find('\n') == std::string::npos);
            }
            if (line.hasKey) {
                const InfLine* found = zk::pkgcheck::FindInfLine(section, line.key);
                FUZZ_CHECK(found != nullptr && found <= &line);
            }
            (void)zk::pkgcheck::InfLineText(line);
            FUZZ_CHECK(RoundTrips(line));
        }
    }
    return 0;
}
