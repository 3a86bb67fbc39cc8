// The device's identity and its driver's version as the web-update program is
// given them, read from texts without Windows: the INF's "DriverVer" line and
// the device's first hardware ID.
#pragma once

#include <cstddef>
#include <cstdint>

// The four numbers of a "DriverVer" version a.b.c.d, in that order.
struct DriverVersion {
    int32_t parts[4];
};

enum class DriverVerParse {
    kOk,
    kNoVersion,  // nothing but blanks where the version should be
    kMalformed,  // not four dot-separated numbers
};

// Parses the text of a "DriverVer" line ("date,version", or the version alone
// when there is no comma): after the first comma, blanks skipped, then four
// numbers separated by dots, scanf-style (each may have leading white space and
// a sign; what follows the fourth is ignored). *versionText is set to where the
// version begins, for the caller's message.
DriverVerParse ParseDriverVerText(const char* lineText, DriverVersion* version,
                                  const char** versionText);

// Size of each identity output: four characters and the terminator.
constexpr size_t kIdentityValueSize = 5;

// Which identity values a hardware ID lacks.
constexpr unsigned kMissingVid = 1;
constexpr unsigned kMissingPid = 2;
constexpr unsigned kMissingBcd = 4;

// Takes the four characters after the first "vid_", "pid_" and "rev_" of a
// lower-cased hardware ID into vid, pid and bcd (kIdentityValueSize bytes
// each), cutting the ID after each value in place. Returns 0 on success, or
// the kMissing* bits of every value whose prefix is absent or is followed by
// fewer than four characters; the outputs are then undefined.
unsigned ExtractUsbIdentity(char* hardwareId, char* vid, char* pid, char* bcd);
