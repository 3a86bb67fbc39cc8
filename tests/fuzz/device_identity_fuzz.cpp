// The INF's "DriverVer" text and the device's hardware ID, as read from the
// INF and the registry. Input: the DriverVer text, then the hardware ID (the
// rest); each is taken up to its first NUL, as the readers deliver them.
#include <cctype>
#include <string>

#include "fuzz_support.h"
#include "launch/device_identity_core.h"

namespace {

void CheckDriverVer(const std::string& text) {
    fuzz::Block line = fuzz::Terminated(text);
    DriverVersion version = {{-7, -7, -7, -7}};
    const char* versionText = nullptr;
    DriverVerParse result = ParseDriverVerText(line.bytes, &version, &versionText);

    // The version text the caller logs lies inside the line.
    FUZZ_CHECK(versionText >= line.bytes && versionText < line.bytes + line.size);
    size_t comma = text.find(',');
    const char* start =
        (comma != std::string::npos && comma < line.size - 1) ? line.bytes + comma + 1 : line.bytes;
    FUZZ_CHECK(versionText >= start);
    for (const char* blank = start; blank < versionText; ++blank) {
        FUZZ_CHECK(*blank == ' ');
    }
    FUZZ_CHECK((result == DriverVerParse::kNoVersion) == (*versionText == '\0'));
    if (result != DriverVerParse::kOk) {
        return;
    }
    // Four numbers, each where scanf's "%d" would find one, separated by dots.
    const char* cursor = versionText;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            FUZZ_CHECK(*cursor == '.');
            ++cursor;
        }
        char* end = nullptr;
        long long number = strtoll(cursor, &end, 10);
        FUZZ_CHECK(end != cursor);
        long long clamped = number > INT32_MAX   ? INT32_MAX
                            : number < INT32_MIN ? INT32_MIN
                                                 : number;
        FUZZ_CHECK(version.parts[i] == clamped);
        cursor = end;
    }
}

// Where the value after prefix starts in the ID as given, or npos when the
// prefix is absent or fewer than four characters follow it.
size_t ValueAt(const std::string& id, const char* prefix) {
    size_t found = id.find(prefix);
    if (found == std::string::npos || id.size() - (found + 4) < kIdentityValueSize - 1) {
        return std::string::npos;
    }
    return found + 4;
}

void CheckIdentity(const std::string& text) {
    std::string id = fuzz::CString(text);
    fuzz::Block hardwareId = fuzz::Terminated(id);
    fuzz::Block vid(kIdentityValueSize);
    fuzz::Block pid(kIdentityValueSize);
    fuzz::Block bcd(kIdentityValueSize);
    unsigned missing = ExtractUsbIdentity(hardwareId.bytes, vid.bytes, pid.bytes, bcd.bytes);

    const char* prefixes[] = {"vid_", "pid_", "rev_"};
    const unsigned bits[] = {kMissingVid, kMissingPid, kMissingBcd};
    fuzz::Block* outputs[] = {&vid, &pid, &bcd};
    FUZZ_CHECK((missing & ~(kMissingVid | kMissingPid | kMissingBcd)) == 0);
    for (int i = 0; i < 3; ++i) {
        size_t at = ValueAt(id, prefixes[i]);
        if (at == std::string::npos) {
            FUZZ_CHECK((missing & bits[i]) != 0);
        } else if (missing == 0) {
            // The four characters that follow the prefix in the ID as given,
            // terminated.
            FUZZ_CHECK(outputs[i]->Str() == id.substr(at, 4) + '\0');
        }
    }
    // The ID is only cut: every byte is its old one or a NUL.
    for (size_t i = 0; i < id.size(); ++i) {
        FUZZ_CHECK(hardwareId.bytes[i] == id[i] || hardwareId.bytes[i] == '\0');
    }
    FUZZ_CHECK(hardwareId.bytes[id.size()] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    std::string driverVer = input.Field();
    std::string hardwareId = input.Rest();
    CheckDriverVer(driverVer);
    CheckIdentity(hardwareId);
    return 0;
}
