// A zkcoinst.log as it reaches a package engineer from a customer's machine:
// cut, damaged, from another version, or no log at all. Input: the file's
// bytes.
//
// The reading and the explanation must finish for any bytes, every message
// and every run keep to the file's lines, and every known text read back as
// its format.
#include <string>

#include "format_match.h"
#include "fuzz_support.h"
#include "log_reader.h"
#include "run_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    zk::logcheck::LogFile log = zk::logcheck::ReadLog(bytes);
    int lines = 1;
    for (char c : bytes) {
        lines += c == '\n' ? 1 : 0;
    }
    for (const zk::logcheck::LogRun& run : log.runs) {
        FUZZ_CHECK(run.startLine >= 0 && run.startLine <= lines);
        // Zeros of a power cut can put a run's stop on the line of its start.
        FUZZ_CHECK(run.stopLine == 0 || run.stopLine >= run.startLine);
        for (const zk::logcheck::LogEntry& entry : run.entries) {
            FUZZ_CHECK(entry.line >= 1 && entry.line <= lines);
            FUZZ_CHECK(entry.line <= run.lastLine);
            if (entry.known != nullptr) {
                size_t end = 0;
                std::vector<std::string> values;
                FUZZ_CHECK(
                    zk::logcheck::MatchFormat(entry.known->format, entry.text, 0, &end, &values));
                FUZZ_CHECK(values == entry.values);
            }
        }
    }
    zk::logcheck::Explanation explanation;
    zk::logcheck::ExplainLog("fuzz.log", log, &explanation);
    FUZZ_CHECK(explanation.runs == static_cast<int>(log.runs.size()));
    FUZZ_CHECK(explanation.text.find('\0') == std::string::npos);
    return 0;
}
