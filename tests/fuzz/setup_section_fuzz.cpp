// A zkcoinst.ini section as the platform returns it (lines separated by NULs,
// possibly cut anywhere), walked and interpreted as the setup-action
// interpreter does, without the Win32 actions. Every line goes through the
// grammar and the texts built from it, each checked against what it must give.
// Input: a settings byte, then the section's bytes (the rest).
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "setupactions/setup_line.h"

namespace {

const char kSystemDirectory[] = "C:\\windows\\system32";

bool BeginsWith(const std::string& text, const char* keyword) {
    return text.compare(0, strlen(keyword), keyword) == 0;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

void CheckWalk(const std::string& section, std::vector<std::string>* lines) {
    // The bytes themselves, unterminated: the walk must stay within the count.
    fuzz::Block buffer = fuzz::Unterminated(section);
    size_t position = 0;
    const char* line = nullptr;
    size_t length = 0;
    std::string rebuilt;
    while (zk::NextSectionLine(buffer.bytes, buffer.size, &position, &line, &length)) {
        FUZZ_CHECK(line >= buffer.bytes && line + length <= buffer.bytes + buffer.size);
        FUZZ_CHECK(memchr(line, '\0', length) == nullptr);
        lines->push_back(std::string(line, length));
        rebuilt += lines->back();
        rebuilt += '\0';
    }
    // The lines are the section's bytes between its NULs, none lost, none made
    // up (a last line without its NUL is taken as it stands).
    FUZZ_CHECK(rebuilt.compare(0, section.size(), section) == 0);
    FUZZ_CHECK(rebuilt.size() == section.size() ||
               (rebuilt.size() == section.size() + 1 && section.back() != '\0'));
}

// A read into a buffer too small for the section returns its first count
// characters; the judged part must end at a line end of the whole section.
void CheckCutRead(const std::string& section, size_t count) {
    fuzz::Block cut(count);
    memcpy(cut.bytes, section.data(), count);
    fuzz::Block longer = fuzz::Terminated(section);  // the second read, with its NUL
    size_t longerCount = longer.size - 1;
    if (longerCount < count) {
        return;  // a NUL inside the first count bytes ends the longer read sooner
    }
    size_t whole = zk::WholeSectionLines(cut.bytes, count, longer.bytes, longerCount);
    FUZZ_CHECK(whole <= count);
    if (whole == count) {
        FUZZ_CHECK(count == 0 || longer.bytes[count] == '\0');
    } else {
        FUZZ_CHECK(whole == 0 || cut.bytes[whole - 1] == '\0');
        FUZZ_CHECK(memchr(cut.bytes + whole, '\0', count - whole) == nullptr);
    }
    // Whatever the section holds beyond the lines that run is named, from the
    // start of its first line: nothing is left out without a word.
    const char* line = nullptr;
    size_t length = 0;
    bool named =
        zk::FirstLineNotRun(cut.bytes, count, whole, longer.bytes, longerCount, &line, &length);
    size_t next = whole < count || count == 0 ? whole : count + 1;
    FUZZ_CHECK(named == (next < longerCount));
    if (named) {
        FUZZ_CHECK(line == longer.bytes + next);
        FUZZ_CHECK(next == 0 || longer.bytes[next - 1] == '\0');
        FUZZ_CHECK(next + length <= longerCount && longer.bytes[next + length] == '\0');
    }
}

int LeadingNumber(const std::string& text) {
    long long number = strtoll(text.c_str(), nullptr, 10);
    return number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
}

zk::SetupActionKind ExpectedKind(int code, const std::string& argument) {
    using Kind = zk::SetupActionKind;
    switch (code) {
        case 10:
            return Kind::RegisterInWindowsDirectory;
        case 11:
            return Kind::RegisterInSystemDirectory;
        case 99:
            return BeginsWith(argument, "DisableAutoPlay")       ? Kind::DisableAutoPlay
                   : BeginsWith(argument, "DisableUnsafeDialog") ? Kind::DisableUnsafeDialog
                                                                 : Kind::Nothing;
        case 100:
            return Kind::DeleteRegistryValue;
        case 101:
            return BeginsWith(argument, "CopyHIDUSBDriver") ? Kind::CopyHidUsbDriver
                                                            : Kind::Nothing;
        case 102:
            return Kind::CreateRegistryValue;
        case 103:
            return BeginsWith(argument, "NO_ROVudevid") ? Kind::DeclineBandwidthMonitor
                                                        : Kind::UnknownModule;
        default:
            return Kind::RegisterFile;
    }
}

// A built text is either exactly the expected one or refused with an empty
// buffer, and a path holding a double quote is refused for its own reason.
void CheckBuilt(zk::BuildResult result, const fuzz::Block& out, const std::string& path,
                const std::string& expected) {
    if (Contains(path, "\"")) {
        FUZZ_CHECK(result == zk::BuildResult::QuoteInPath);
    } else {
        FUZZ_CHECK((result == zk::BuildResult::Built) == (expected.size() < out.size));
        FUZZ_CHECK(result == zk::BuildResult::Built || result == zk::BuildResult::TooLong);
    }
    if (out.size > 0) {
        FUZZ_CHECK(std::string(out.bytes) ==
                   (result == zk::BuildResult::Built ? expected : std::string()));
    }
}

void CheckLine(const std::string& text, size_t capacity) {
    fuzz::Block line = fuzz::Terminated(text);
    zk::SetupAction action = zk::ParseSetupLine(line.bytes);
    size_t comma = text.find(',');
    if (comma == std::string::npos) {
        FUZZ_CHECK(action.kind == zk::SetupActionKind::RegisterFile);
        FUZZ_CHECK(action.code == 0 && !action.hasComma && action.argument == line.bytes);
    } else {
        FUZZ_CHECK(action.hasComma && action.argument == line.bytes + comma + 1);
        FUZZ_CHECK(action.code == LeadingNumber(text));
        FUZZ_CHECK(action.kind == ExpectedKind(action.code, action.argument));
    }
    std::string argument = action.argument;

    size_t dot = argument.find('.');
    zk::RegistrationKind registration = zk::ClassifyRegistration(action.argument);
    if (dot == std::string::npos) {
        FUZZ_CHECK(registration == zk::RegistrationKind::None);
    } else {
        std::string tail = argument.substr(dot);
        bool inProcess = Contains(tail, "DLL") || Contains(tail, "dll") || Contains(tail, "ax") ||
                         Contains(tail, "AX");
        bool local = Contains(tail, "EXE") || Contains(tail, "exe");
        FUZZ_CHECK(registration == (inProcess ? zk::RegistrationKind::InProcessServer
                                    : local   ? zk::RegistrationKind::LocalServer
                                              : zk::RegistrationKind::None));
    }

    size_t backslash = argument.rfind('\\');
    FUZZ_CHECK(zk::DirectoryPartLength(action.argument) ==
               (backslash == std::string::npos ? 0 : backslash));

    fuzz::Block out(capacity);
    FUZZ_CHECK(zk::JoinSetupPath(out.bytes, out.size, kSystemDirectory, action.argument) ==
               (strlen(kSystemDirectory) + 1 + argument.size() < capacity));
    CheckBuilt(zk::BuildRegsvr32CommandLine(out.bytes, out.size, kSystemDirectory, action.argument),
               out, argument,
               fuzz::Printed("\"%s\\regsvr32.exe\" /s \"%s\"", kSystemDirectory, action.argument));
    CheckBuilt(zk::BuildServerCommandLine(out.bytes, out.size, action.argument), out, argument,
               fuzz::Printed("\"%s\" /REGSERVER", action.argument));

    const char* valueName = nullptr;
    bool split = zk::SplitRegistryArgument(action.argument, out.bytes, out.size, &valueName);
    // Nothing in front of the last backslash names HKEY_LOCAL_MACHINE itself,
    // which no line may write.
    bool fits = backslash != std::string::npos && backslash != 0 && backslash < capacity;
    FUZZ_CHECK(zk::NamesRegistryKey(action.argument) ==
               (backslash != std::string::npos && backslash != 0));
    FUZZ_CHECK(split == fits);
    if (split) {
        FUZZ_CHECK(std::string(out.bytes) == argument.substr(0, backslash));
        FUZZ_CHECK(valueName == action.argument + backslash + 1);
    } else if (capacity > 0) {
        FUZZ_CHECK(out.bytes[0] == '\0');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    std::string section = input.Rest();

    std::vector<std::string> lines;
    CheckWalk(section, &lines);
    CheckCutRead(section, section.size() * settings / 256);

    // The interpreter's buffers (MAX_PATH), or (one time in two) a capacity
    // near the texts, down to nothing.
    size_t capacity = (settings & 1) != 0 ? zk::kSetupTextCapacity : settings >> 1;
    for (const std::string& line : lines) {
        CheckLine(line, capacity);
    }
    return 0;
}
