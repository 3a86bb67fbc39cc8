#include "core/log_text.h"

#include "common/bounded_text.h"
#include "common/system_printf.h"
#include "core/version_info.h"

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

const char* MonthName(unsigned month) {
    return month >= 1 && month <= 12 ? kMonths[month - 1] : "???";
}

const char* WeekdayName(unsigned dayOfWeek) {
    return dayOfWeek <= 6 ? kWeekdays[dayOfWeek] : "???";
}

// Big enough for any LogClock, whatever its fields hold.
constexpr size_t kTimestampCapacity = 80;

}  // namespace

bool FormatLogTimestamp(const LogClock& clock, char* buffer, size_t capacity) {
    return zk::FormatText(buffer, capacity, "[%s %s %02u %u:%02u:%02u %u]", MonthName(clock.month),
                          WeekdayName(clock.dayOfWeek), clock.day, clock.hour, clock.minute,
                          clock.second, clock.year);
}

// Write errors are ignored: the log is a record of the installation, never a
// reason to fail it.

void WriteLogHeader(FILE* stream, const LogClock& clock) {
    char stamp[kTimestampCapacity];
    FormatLogTimestamp(clock, stamp, sizeof(stamp));
    (void)ZK_FPRINTF(stream,
                     "Tool Name: Audio/Video Coinstaller for " ZK_BUILD_BITS_TEXT
                     " (zkci%02d%d%d.dll)\n",
                     ZK_VERSION_MAJOR, ZK_VERSION_MINOR, ZK_VERSION_BUILD);
    (void)ZK_FPRINTF(stream, "Tool Version: %d.%d.%d.%d (debug)\n", ZK_VERSION_MAJOR,
                     ZK_VERSION_MINOR, ZK_VERSION_BUILD, ZK_VERSION_REVISION);
    (void)ZK_FPRINTF(stream, "Log Format Version: 01\n\n");
    (void)ZK_FPRINTF(stream, "Start Log File: %s\n\n", stamp);
}

void WriteRunStart(FILE* stream, const LogClock& clock) {
    char stamp[kTimestampCapacity];
    FormatLogTimestamp(clock, stamp, sizeof(stamp));
    (void)ZK_FPRINTF(stream, "Start co-installer: %s\n", stamp);
    (void)ZK_FPRINTF(stream, "   Binary: ZKCi%02d%d%d.dll", ZK_VERSION_MAJOR, ZK_VERSION_MINOR,
                     ZK_VERSION_BUILD);
    (void)ZK_FPRINTF(stream, " version: %d.%d.%d.%d (debug)\n", ZK_VERSION_MAJOR, ZK_VERSION_MINOR,
                     ZK_VERSION_BUILD, ZK_VERSION_REVISION);
}

void WriteRunStop(FILE* stream, const LogClock& clock) {
    char stamp[kTimestampCapacity];
    FormatLogTimestamp(clock, stamp, sizeof(stamp));
    (void)ZK_FPRINTF(stream, "Stop co-installer: %s\n\n", stamp);
}
