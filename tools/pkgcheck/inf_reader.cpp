#include "inf_reader.h"

#include <strings.h>

namespace zk::pkgcheck {

namespace {

// What SetupAPI trims: the ANSI code page's blanks (0xA0 is a no-break space),
// the carriage return among them.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\xA0';
}

size_t SkipBlanks(const std::string& text, size_t position) {
    while (position < text.size() && IsBlank(text[position])) {
        ++position;
    }
    return position;
}

// The file as single-byte text, cut at ^Z. False
// when an ANSI file holds a NUL byte, which SetupAPI does not read as ANSI.
bool DecodeText(const std::string& bytes, std::string* text) {
    text->clear();
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned unit = static_cast<unsigned char>(bytes[i]) |
                            static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8;
            if (unit == 0) {
                return false;
            }
            if (unit == 0x1A) {
                break;
            }
            // Characters outside Latin-1 have no ANSI form here.
            *text += unit < 0x100 ? static_cast<char>(unit) : '?';
        }
        return true;
    }
    size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t i = start; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\0') {
            return false;
        }
        if (c == '\x1A') {
            break;
        }
        *text += c;
    }
    return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A "\" at position joins the next line when nothing but blanks, more "\"
// and a comment follow it.
bool IsContinuation(const std::string& text, size_t position) {
    for (size_t i = position + 1; i < text.size(); ++i) {
        if (text[i] == ';') {
            return true;
        }
        if (text[i] != '\\' && !IsBlank(text[i])) {
            return false;
        }
    }
    return true;
}

// The text of one key or field as it is read: cut at kMaxInfFieldLength,
// blanks inside kept only when more text follows them.
struct Token {
    std::string text;
    std::string blanks;  // held until text follows
    bool started = false;

    void Append(char c) {
        if (text.size() < kMaxInfFieldLength) {
            text += c;
        }
    }
    // Text follows: the held blanks become part of it.
    void Flush() {
        for (char blank : blanks) {
            Append(blank);
        }
        blanks.clear();
        started = true;
    }
    void Text(char c) {
        Flush();
        Append(c);
    }
    void Blank(char c) {
        if (started) {
            blanks += c;
        }
    }
    std::string Take() {
        std::string taken = text;
        *this = Token();
        return taken;
    }
};

// One line from lines[*row] on (more when it is continued), starting at
// position; *row ends on the line after it.
InfLine ReadContentLine(const std::vector<std::string>& lines, size_t* row, size_t position) {
    InfLine line;
    line.line = static_cast<int>(*row) + 1;
    Token token;
    size_t current = *row;
    while (current < lines.size() && position < lines[current].size()) {
        const std::string& text = lines[current];
        char c = text[position];
        if (c == '"') {
            token.Flush();
            ++position;
            while (position < text.size()) {
                if (text[position] == '"') {
                    if (position + 1 < text.size() && text[position + 1] == '"') {
                        token.Append('"');
                        position += 2;
                        continue;
                    }
                    ++position;
                    break;
                }
                token.Append(text[position++]);
            }
            continue;
        }
        if (c == ';') {
            break;
        }
        if (c == ',') {
            line.fields.push_back(token.Take());
            position = SkipBlanks(text, position + 1);
            continue;
        }
        if (c == '=' && !line.hasKey && line.fields.empty()) {
            line.hasKey = true;
            line.key = token.Take();
            position = SkipBlanks(text, position + 1);
            continue;
        }
        if (c == '\\' && IsContinuation(text, position)) {
            token.blanks.clear();
            ++current;
            if (current >= lines.size()) {
                break;
            }
            position = SkipBlanks(lines[current], 0);
            if (position < lines[current].size() && lines[current][position] == ';') {
                break;
            }
            continue;
        }
        if (IsBlank(c)) {
            token.Blank(c);
        } else {
            token.Text(c);
        }
        ++position;
    }
    line.fields.push_back(token.Take());
    if (!line.hasKey && line.fields.size() == 1) {
        line.hasKey = true;
        line.key = line.fields[0];
    }
    *row = current + 1;
    return line;
}

// "%name%" replaced from the unreplaced [Strings] lines.
std::string Substitute(const std::string& text, const InfSection* strings) {
    if (text.find('%') == std::string::npos) {
        return text;
    }
    std::string out;
    size_t position = 0;
    while (position < text.size()) {
        size_t open = text.find('%', position);
        if (open == std::string::npos) {
            out.append(text, position, std::string::npos);
            break;
        }
        out.append(text, position, open - position);
        size_t close = text.find('%', open + 1);
        if (close == std::string::npos) {
            out.append(text, open, std::string::npos);
            break;
        }
        std::string name = text.substr(open + 1, close - open - 1);
        const InfLine* value = nullptr;
        if (!name.empty() && strings != nullptr) {
            value = FindInfLine(*strings, name);
        }
        if (name.empty()) {
            out += '%';
        } else if (value != nullptr) {
            out += value->fields.empty() ? std::string() : value->fields[0];
        } else {
            out.append(text, open, close - open + 1);
        }
        position = close + 1;
    }
    if (out.size() > kMaxInfStringLength) {
        out.resize(kMaxInfStringLength);
    }
    return out;
}

bool IsDeviceSignature(const std::string& signature) {
    return strcasecmp(signature.c_str(), "$Windows NT$") == 0 ||
           strcasecmp(signature.c_str(), "$Chicago$") == 0 ||
           strcasecmp(signature.c_str(), "$Windows 95$") == 0;
}

}  // namespace

bool SameInfName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

const InfSection* FindInfSection(const InfFile& file, const std::string& name) {
    for (const InfSection& section : file.sections) {
        if (SameInfName(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

const InfLine* FindInfLine(const InfSection& section, const std::string& key) {
    for (const InfLine& line : section.lines) {
        if (line.hasKey && SameInfName(line.key, key)) {
            return &line;
        }
    }
    return nullptr;
}

InfReadResult ReadInf(const std::string& bytes, InfFile* file) {
    *file = InfFile();
    std::string text;
    if (!DecodeText(bytes, &text)) {
        return {InfError::NulCharacter, 0};
    }
    std::vector<std::string> lines = SplitLines(text);
    InfFile raw;
    size_t current = 0;  // index in raw.sections + 1; 0 before the first
    size_t row = 0;
    while (row < lines.size()) {
        const std::string& line = lines[row];
        size_t position = SkipBlanks(line, 0);
        if (position == line.size() || line[position] == ';') {
            ++row;
            continue;
        }
        if (line[position] == '[') {
            size_t close = line.find(']', position + 1);
            if (close == std::string::npos) {
                return {InfError::BadSectionNameLine, static_cast<int>(row) + 1};
            }
            std::string name = line.substr(position + 1, close - position - 1);
            if (name.size() > kMaxInfSectionNameLength) {
                return {InfError::SectionNameTooLong, static_cast<int>(row) + 1};
            }
            current = 0;
            for (size_t i = 0; i < raw.sections.size() && current == 0; ++i) {
                if (SameInfName(raw.sections[i].name, name)) {
                    current = i + 1;
                }
            }
            if (current == 0) {
                raw.sections.push_back(InfSection{name, static_cast<int>(row) + 1, {}});
                current = raw.sections.size();
            }
            ++row;
            continue;
        }
        if (current == 0) {
            return {InfError::ExpectedSectionName, static_cast<int>(row) + 1};
        }
        raw.sections[current - 1].lines.push_back(ReadContentLine(lines, &row, position));
    }

    // Replacements come from the lines as written, wherever [Strings] stands.
    const InfSection* strings = FindInfSection(raw, "Strings");
    *file = raw;
    for (InfSection& section : file->sections) {
        for (InfLine& line : section.lines) {
            line.key = Substitute(line.key, strings);
            for (std::string& field : line.fields) {
                field = Substitute(field, strings);
            }
        }
    }
    const InfSection* version = FindInfSection(*file, "Version");
    const InfLine* signature = version == nullptr ? nullptr : FindInfLine(*version, "Signature");
    if (signature == nullptr || signature->fields.empty() ||
        !IsDeviceSignature(signature->fields[0])) {
        *file = InfFile();
        return {InfError::WrongInfStyle, 0};
    }
    return {};
}

const char* InfErrorText(InfError error) {
    switch (error) {
        case InfError::None:
            return "no error";
        case InfError::ExpectedSectionName:
            return "a line in front of the first section";
        case InfError::BadSectionNameLine:
            return "a section header without \"]\"";
        case InfError::SectionNameTooLong:
            return "a section name longer than 255 characters";
        case InfError::WrongInfStyle:
            return "no [Version] Signature of a device INF ($Windows NT$, $Chicago$)";
        case InfError::NulCharacter:
            return "a NUL byte in the text";
    }
    return "unknown error";
}

std::string InfLineText(const InfLine& line) {
    std::string text;
    for (size_t i = 0; i < line.fields.size(); ++i) {
        text += (i == 0 ? "" : ",") + line.fields[i];
    }
    return text;
}

namespace {

// Quoted when it would not read back the same bare: blanks at its ends, a
// character that ends or splits a token, a "\" at its end (a continuation),
// and as the first token of a line a "[" (a header), an "=" or nothing.
std::string SourceToken(const std::string& text, bool isFirst) {
    bool quote = !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()) ||
                                   text.back() == '\\' || (isFirst && text.front() == '['));
    quote = quote || (isFirst && text.empty());
    for (char c : text) {
        quote = quote || c == ',' || c == ';' || c == '"' || (isFirst && c == '=');
    }
    if (!quote) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

}  // namespace

std::string InfLineSource(const InfLine& line) {
    bool keyIsField = line.fields.size() == 1 && line.hasKey && line.key == line.fields[0];
    std::string text;
    if (line.hasKey && !keyIsField) {
        text = SourceToken(line.key, true) + "=";
    }
    for (size_t i = 0; i < line.fields.size(); ++i) {
        text += (i == 0 ? "" : ",") + SourceToken(line.fields[i], i == 0 && text.empty());
    }
    return text;
}

}  // namespace zk::pkgcheck
