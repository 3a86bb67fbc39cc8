// Which registered companion programs apply to a device and a phase, and how
// their command lines are formed, without Windows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/ascii_text.h"

// The command line of a registered program: the program path in quotes, so
// that a path with blanks cannot be taken for a shorter program (C:\Program.exe
// for C:\Program Files\...), then a blank and the arguments. Callers that log a
// command line that could not be formed use the same format.
#define ZK_REGISTERED_APP_COMMAND_LINE "\"%s\" %s"

// Lower-cases both texts in place (bounded by their sizes) and answers non-zero
// when the eight characters of keyName from its first "pid_" and the five from
// its first "mi_" (fewer where the name ends sooner) both occur in hardwareId.
// Zero when either text is missing or keyName lacks "pid_" or "mi_".
int MatchesDeviceHardwareId(char* hardwareId, size_t hardwareIdSize, char* keyName,
                            size_t keyNameSize);

// Whether the registered program under keyName applies to the device: names
// containing "valueadd" or "viduruvir" apply to every device, any other must
// match the hardware ID. Lower-cases both in place.
bool RegisteredAppApplies(char* keyName, size_t keyNameSize, char* hardwareId,
                          size_t hardwareIdSize);

// Whether a program starts in the given phase (non-zero: post-install). Only
// the NT family honours the "PreInstall"/"PostInstall" flags; elsewhere every
// program applying to the device starts in both phases.
bool RegisteredAppWantedInPhase(bool ntFamily, uint32_t preInstall, uint32_t postInstall,
                                int postInstallPhase);

// The program path: folder, a backslash unless the folder already ends in one
// (an empty folder does not), then the file name. False when it does not fit.
bool BuildRegisteredProgramPath(char* out, size_t capacity, const char* folder, const char* name);

// The command line (see ZK_REGISTERED_APP_COMMAND_LINE) into out; false, and
// nothing to launch, when it does not fit.
bool FormatRegisteredCommandLine(char* out, size_t capacity, const char* programPath,
                                 const char* parameters);
