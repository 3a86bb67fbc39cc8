#include "log_reader.h"

#include "format_match.h"

namespace zk::logcheck {

namespace {

const char kIndent[] = "   ";
const char kRunStart[] = "Start co-installer: ";
const char kRunStop[] = "Stop co-installer: ";
const char kBinary[] = "Binary: ";
const char* const kHeaderLines[] = {
    "Tool Name: ", "Tool Version: ", "Log Format Version: ", "Start Log File: "};

bool StartsWith(const std::string& text, size_t at, const char* prefix) {
    return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

// The file's lines, each without its line feed and the carriage returns in
// front of it.
std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos) {
            end = bytes.size();
        }
        while (end > start && bytes[end - 1] == '\r') {
            --end;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = next;
    }
    return lines;
}

// The messages of one indented line into run.
void ReadMessages(const std::string& line, int number, LogRun* run) {
    size_t position = std::char_traits<char>::length(kIndent);
    if (run->entries.empty() && run->binary.empty() && run->startLine > 0 &&
        StartsWith(line, position, kBinary)) {
        run->binary = line.substr(position + std::char_traits<char>::length(kBinary));
        return;
    }
    while (position < line.size()) {
        LogEntry entry;
        entry.line = number;
        size_t end = line.size();
        entry.known = MatchLogText(line, position, &end, &entry.values);
        if (entry.known == nullptr) {
            end = line.size();
        }
        entry.text = line.substr(position, end - position);
        run->entries.push_back(entry);
        position = end + (end < line.size() ? std::char_traits<char>::length(kIndent) : 0);
    }
}

}  // namespace

const LogText* MatchLogText(const std::string& text, size_t start, size_t* end,
                            std::vector<std::string>* values) {
    size_t count = 0;
    const LogText* texts = LogTexts(&count);
    // A text that begins with a literal is told from the line by its first
    // character, most of them at once.
    char first = start < text.size() ? text[start] : '\0';
    for (size_t i = 0; i < count; ++i) {
        size_t stop = 0;
        if (texts[i].format[0] == first &&
            MatchFormat(texts[i].format, text, start, &stop, values) &&
            (stop == text.size() || StartsWith(text, stop, kIndent))) {
            *end = stop;
            return &texts[i];
        }
    }
    values->clear();
    return nullptr;
}

LogFile ReadLog(const std::string& bytes) {
    LogFile file;
    std::vector<std::string> lines = SplitLines(bytes);
    std::vector<int> numbers;  // of the file's line each of lines is on
    for (size_t i = 0; i < lines.size(); ++i) {
        numbers.push_back(static_cast<int>(i) + 1);
    }
    bool open = false;  // a run without its stop line yet
    for (size_t i = 0; i < lines.size(); ++i) {
        int number = numbers[i];
        // A power cut or a crash can leave zeros where the file's last
        // writes were, after a line cut in the middle; the next run's lines
        // follow them. The text before the zeros and the text after them are
        // lines of their own.
        size_t zeros = lines[i].find('\0');
        if (zeros != std::string::npos) {
            size_t after = lines[i].find_first_not_of('\0', zeros);
            after = after == std::string::npos ? lines[i].size() : after;
            LogEntry stray;
            stray.line = number;
            stray.text = lines[i].substr(zeros, after - zeros);
            file.strays.push_back(stray);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         lines[i].substr(after));
            lines[i].resize(zeros);
            numbers.insert(numbers.begin() + static_cast<std::ptrdiff_t>(i) + 1, number);
        }
        const std::string line = lines[i];
        if (StartsWith(line, 0, kRunStart)) {
            LogRun run;
            run.startLine = number;
            run.started = line.substr(std::char_traits<char>::length(kRunStart));
            run.lastLine = number;
            file.runs.push_back(run);
            open = true;
            continue;
        }
        if (StartsWith(line, 0, kRunStop) && open) {
            LogRun& run = file.runs.back();
            run.stopLine = number;
            run.stopped = line.substr(std::char_traits<char>::length(kRunStop));
            run.lastLine = number;
            open = false;
            continue;
        }
        if (line.empty()) {
            continue;
        }
        bool header = false;
        for (const char* prefix : kHeaderLines) {
            header = header || StartsWith(line, 0, prefix);
        }
        if (header) {
            file.header.push_back(line);
            continue;
        }
        if (!StartsWith(line, 0, kIndent)) {
            LogEntry stray;
            stray.line = number;
            stray.text = line;
            file.strays.push_back(stray);
            continue;
        }
        if (!open && (file.runs.empty() || file.runs.back().startLine != 0)) {
            // Messages outside any run: a log whose run start was lost.
            file.runs.emplace_back();
        }
        LogRun& run = file.runs.back();
        run.lastLine = number;
        ReadMessages(line, number, &run);
    }
    return file;
}

}  // namespace zk::logcheck
