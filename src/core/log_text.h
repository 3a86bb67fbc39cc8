// The fixed texts of the installation log: the header block, the run start and
// stop lines and their time stamps. Windows-free: the caller reads the clock.
#pragma once

#include <cstddef>
#include <cstdio>

// A reading of the local clock, field for field as Windows gives it.
struct LogClock {
    unsigned year;
    unsigned month;      // 1 to 12
    unsigned dayOfWeek;  // 0 (Sunday) to 6
    unsigned day;
    unsigned hour;
    unsigned minute;
    unsigned second;
};

// "[Dec Mon 07 2:52:12 2026]": month, weekday, day, hour, minute, second, year.
// False (and an empty buffer) when it does not fit.
bool FormatLogTimestamp(const LogClock& clock, char* buffer, size_t capacity);

// Written only into an empty file.
void WriteLogHeader(FILE* stream, const LogClock& clock);
// Written at every open of the log.
void WriteRunStart(FILE* stream, const LogClock& clock);
// Written when a context is released.
void WriteRunStop(FILE* stream, const LogClock& clock);
