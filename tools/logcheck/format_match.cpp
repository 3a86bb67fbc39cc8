#include "format_match.h"

#include <cstring>
#include <string_view>

namespace zk::logcheck {

namespace {

// Far more than any line of the log needs (a few conversions over a few
// hundred characters), and little enough that a hostile line costs nothing.
constexpr long kStepBudget = 200000;

enum class Conversion { Text, Signed, Unsigned, Hex, Percent };

struct Directive {
    Conversion conversion = Conversion::Text;
    size_t length = 0;  // characters of the format it takes
};

// The conversion at format[0] == '%': flags, width and precision skipped.
bool ReadDirective(const char* format, Directive* directive) {
    size_t i = 1;
    while (format[i] != '\0' && strchr("-+ #0", format[i]) != nullptr) {
        ++i;
    }
    while ((format[i] >= '0' && format[i] <= '9') || format[i] == '*' || format[i] == '.') {
        ++i;
    }
    switch (format[i]) {
        case 's':
            directive->conversion = Conversion::Text;
            break;
        case 'd':
        case 'i':
            directive->conversion = Conversion::Signed;
            break;
        case 'u':
            directive->conversion = Conversion::Unsigned;
            break;
        case 'x':
        case 'X':
            directive->conversion = Conversion::Hex;
            break;
        case '%':
            directive->conversion = Conversion::Percent;
            break;
        default:
            return false;
    }
    directive->length = i + 1;
    return true;
}

bool IsDigit(char c, bool hex) {
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

struct Matcher {
    const std::string& text;
    std::vector<std::string>* values;
    long steps = 0;

    // The format's characters up to formatEnd against text from position.
    bool Match(const char* format, const char* formatEnd, bool wholeLine, size_t position,
               size_t* end) {
        while (format < formatEnd) {
            if (++steps > kStepBudget) {
                return false;
            }
            if (*format != '%') {
                if (position >= text.size() || text[position] != *format) {
                    return false;
                }
                ++format;
                ++position;
                continue;
            }
            Directive directive;
            if (!ReadDirective(format, &directive)) {
                return false;
            }
            const char* rest = format + directive.length;
            if (directive.conversion == Conversion::Percent) {
                if (position >= text.size() || text[position] != '%') {
                    return false;
                }
                format = rest;
                ++position;
                continue;
            }
            size_t slot = values->size();
            values->emplace_back();
            if (directive.conversion == Conversion::Text) {
                // The shortest text that lets the rest match; a last one
                // without a line end takes the rest of the line.
                size_t first = rest == formatEnd && !wholeLine ? text.size() : position;
                for (size_t stop = first; stop <= text.size(); ++stop) {
                    if (Match(rest, formatEnd, wholeLine, stop, end)) {
                        (*values)[slot] = text.substr(position, stop - position);
                        return true;
                    }
                    if (steps > kStepBudget) {
                        return false;
                    }
                    values->resize(slot + 1);
                }
                values->resize(slot);
                return false;
            }
            size_t stop = position;
            while (directive.conversion != Conversion::Hex && stop < text.size() &&
                   text[stop] == ' ') {
                ++stop;  // a width pads with blanks
            }
            if (directive.conversion == Conversion::Signed && stop < text.size() &&
                text[stop] == '-') {
                ++stop;
            }
            size_t digits = stop;
            while (stop < text.size() &&
                   IsDigit(text[stop], directive.conversion == Conversion::Hex)) {
                ++stop;
            }
            if (stop == digits) {
                values->resize(slot);
                return false;
            }
            (*values)[slot] = text.substr(position, stop - position);
            format = rest;
            position = stop;
        }
        if (wholeLine && position != text.size()) {
            return false;
        }
        *end = position;
        return true;
    }
};

// Where the format's own line end begins (its length when it has none).
size_t LineEndAt(const char* format) {
    size_t length = strlen(format);
    while (length > 0 && (format[length - 1] == '\n' || format[length - 1] == '\r')) {
        --length;
    }
    return length;
}

// Whether the literal parts of the format's first length characters occur in
// text from start on, in their order: what any match needs, found in one pass
// where the matcher would try every split of the text between them.
bool LiteralsInOrder(const char* format, size_t length, const std::string& text, size_t start) {
    size_t at = start;
    size_t i = 0;
    while (i < length) {
        if (format[i] == '%') {
            Directive directive;
            if (!ReadDirective(format + i, &directive)) {
                return false;
            }
            i += directive.length;
            continue;
        }
        size_t next = i;
        while (next < length && format[next] != '%') {
            ++next;
        }
        size_t found = std::string_view(text).find(std::string_view(format + i, next - i), at);
        if (found == std::string::npos) {
            return false;
        }
        at = found + (next - i);
        i = next;
    }
    return true;
}

}  // namespace

bool EndsLine(const char* format) {
    return LineEndAt(format) != strlen(format);
}

bool MatchFormat(const char* format, const std::string& text, size_t start, size_t* end,
                 std::vector<std::string>* values) {
    values->clear();
    Matcher matcher{text, values};
    size_t length = LineEndAt(format);
    // Most texts differ from the line in their first characters.
    size_t prefix = 0;
    while (prefix < length && format[prefix] != '%' && start + prefix < text.size() &&
           text[start + prefix] == format[prefix]) {
        ++prefix;
    }
    bool matched = start <= text.size() && (prefix == length || format[prefix] == '%') &&
                   LiteralsInOrder(format, length, text, start) &&
                   matcher.Match(format, format + length, EndsLine(format), start, end);
    if (!matched) {
        values->clear();
    }
    return matched;
}

}  // namespace zk::logcheck
