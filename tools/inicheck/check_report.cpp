#include "check_report.h"

#include <cstdarg>
#include <cstdio>

namespace zk::inicheck {

void Say(CheckReport* report, const std::string& line) {
    report->text += line + "\n";
}

void Warn(CheckReport* report, const std::string& line) {
    report->text += "warning: " + line + "\n";
    ++report->warnings;
}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): started just above.
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        if (vsnprintf(&text[0], text.size(), format, again) == length) {
            text.resize(static_cast<size_t>(length));
        } else {
            text.clear();
        }
    }
    va_end(again);
    return text;
}

std::string WarningCount(int warnings) {
    if (warnings == 0) {
        return "no warnings";
    }
    return Format("%d warning%s", warnings, warnings == 1 ? "" : "s");
}

std::string Times(int count) {
    if (count == 1) {
        return "once";
    }
    if (count == 2) {
        return "twice";
    }
    return Format("%d times", count);
}

}  // namespace zk::inicheck
