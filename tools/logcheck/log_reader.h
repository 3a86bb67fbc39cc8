// zkcoinst.log read back into its runs and their messages. Windows-free and
// bounded: any bytes give a reading.
//
// The file is text: a header block at the top of a new or emptied file, then
// per run a "Start co-installer: [time]" line, a "   Binary: ..." line, the
// messages (three blanks, then the text) and a "Stop co-installer: [time]"
// line, which a run cut short (the DLL unloaded, the process ended) lacks.
// Line ends are "\n" stored as CR LF, and CR CR LF for the messages that end in
// "\r\n"; a message without a line end of its own is followed on the same
// line by the system's text or by the next message.
#pragma once

#include <string>
#include <vector>

#include "log_texts.h"

namespace zk::logcheck {

struct LogEntry {
    int line = 0;                     // of the file, from 1
    std::string text;                 // the message without its three blanks and its line end
    const LogText* known = nullptr;   // the DLL's text it reads as; nullptr: none
    std::vector<std::string> values;  // of its conversions
};

struct LogRun {
    int startLine = 0;    // of "Start co-installer:"; 0 for messages outside any run
    std::string started;  // the time stamp as written
    int stopLine = 0;     // 0: the run has no stop line
    std::string stopped;
    int lastLine = 0;    // the last line that belongs to it
    std::string binary;  // what its "Binary:" line says
    std::vector<LogEntry> entries;
};

struct LogFile {
    std::vector<std::string> header;  // "Tool Name: ..." and the other header lines
    std::vector<LogRun> runs;
    std::vector<LogEntry> strays;  // lines that are no part of the log's format
};

LogFile ReadLog(const std::string& bytes);

// The DLL's text that text reads as from start on, and where it ends (the
// line's end, or the three blanks of a next message on the same line).
const LogText* MatchLogText(const std::string& text, size_t start, size_t* end,
                            std::vector<std::string>* values);

}  // namespace zk::logcheck
