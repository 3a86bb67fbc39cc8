#include "reg_file.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace zk::inicheck {

namespace {

const char kVersion4[] = "REGEDIT4";
const char kVersion5[] = "Windows Registry Editor Version 5.00";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
    size_t start = 0;
    size_t end = text.size();
    while (start < end && (IsBlank(text[start]) || text[start] == '\r')) {
        ++start;
    }
    while (end > start && (IsBlank(text[end - 1]) || text[end - 1] == '\r')) {
        --end;
    }
    return text.substr(start, end - start);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A quoted string from text[*at] (the opening quote) to its closing quote,
// with \\ and \" undone; *at moves past the closing quote. False when the
// string does not close.
bool ReadQuoted(const std::string& text, size_t* at, std::string* out) {
    size_t i = *at + 1;
    out->clear();
    while (i < text.size()) {
        char c = text[i];
        if (c == '"') {
            *at = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            out->push_back(text[i + 1]);
            i += 2;
            continue;
        }
        out->push_back(c);
        ++i;
    }
    return false;
}

// "aa,bb, cc" into bytes; false on anything else. An empty list is no bytes.
bool ReadHexBytes(const std::string& text, std::string* bytes) {
    bytes->clear();
    size_t i = 0;
    bool expectByte = true;
    while (i < text.size()) {
        char c = text[i];
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        if (expectByte) {
            int high = HexDigit(c);
            int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            if (high < 0 || low < 0) {
                return false;
            }
            bytes->push_back(static_cast<char>(high * 16 + low));
            i += 2;
            expectByte = false;
        } else {
            if (c != ',') {
                return false;
            }
            ++i;
            expectByte = true;
        }
    }
    // A trailing comma is what regedit writes before a line break.
    return true;
}

// What an ANSI read gives of a string type stored from these bytes.
std::string AnsiOfStringBytes(const std::string& bytes, bool wide) {
    if (!wide) {
        return bytes;
    }
    return Utf16LeToAnsi(bytes.data(), bytes.size(), nullptr);
}

// Parses the data of a value line; false (with *why) when regedit would not import it.
bool ReadData(const std::string& text, bool version5, RegValue* value, bool* deletion,
              std::string* why) {
    *deletion = false;
    value->written = text;
    if (text == "-") {
        *deletion = true;
        return true;
    }
    if (!text.empty() && text[0] == '"') {
        size_t at = 0;
        std::string content;
        if (!ReadQuoted(text, &at, &content) || !Trimmed(text.substr(at)).empty()) {
            *why = "the text does not end with its closing quote";
            return false;
        }
        value->type = kRegSz;
        value->data = content + '\0';
        return true;
    }
    if (strncasecmp(text.c_str(), "dword:", 6) == 0) {
        std::string digits = Trimmed(text.substr(6));
        if (digits.empty() || digits.size() > 8) {
            *why = "a dword takes one to eight hexadecimal digits";
            return false;
        }
        uint32_t number = 0;
        for (char c : digits) {
            int digit = HexDigit(c);
            if (digit < 0) {
                *why = "a dword takes one to eight hexadecimal digits";
                return false;
            }
            number = number * 16 + static_cast<uint32_t>(digit);
        }
        value->type = kRegDword;
        value->data.clear();
        for (int i = 0; i < 4; ++i) {
            value->data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
        }
        return true;
    }
    if (strncasecmp(text.c_str(), "hex", 3) == 0) {
        size_t at = 3;
        uint32_t type = kRegBinary;
        if (at < text.size() && text[at] == '(') {
            size_t close = text.find(')', at);
            if (close == std::string::npos || close == at + 1 || close - at - 1 > 8) {
                *why = "hex(<type>) needs a hexadecimal type";
                return false;
            }
            type = 0;
            for (size_t i = at + 1; i < close; ++i) {
                int digit = HexDigit(text[i]);
                if (digit < 0) {
                    *why = "hex(<type>) needs a hexadecimal type";
                    return false;
                }
                type = type * 16 + static_cast<uint32_t>(digit);
            }
            at = close + 1;
        }
        if (at >= text.size() || text[at] != ':') {
            *why = "hex data begins with hex: or hex(<type>):";
            return false;
        }
        std::string bytes;
        if (!ReadHexBytes(text.substr(at + 1), &bytes)) {
            *why = "hex data is a comma-separated list of two-digit hexadecimal bytes";
            return false;
        }
        value->type = type;
        value->data = IsRegStringType(type) ? AnsiOfStringBytes(bytes, version5) : bytes;
        return true;
    }
    *why = "the data is none of \"text\", dword:, hex: or hex(<type>):";
    return false;
}

RegKey* FindKeyToChange(RegFile* file, const std::string& path) {
    for (RegKey& key : file->keys) {
        if (strcasecmp(key.path.c_str(), path.c_str()) == 0) {
            return &key;
        }
    }
    return nullptr;
}

// Deletes path and every key below it.
void DeleteKeyTree(RegFile* file, const std::string& path) {
    std::vector<RegKey> kept;
    for (RegKey& key : file->keys) {
        bool below = key.path.size() > path.size() && key.path[path.size()] == '\\' &&
                     strncasecmp(key.path.c_str(), path.c_str(), path.size()) == 0;
        if (!below && strcasecmp(key.path.c_str(), path.c_str()) != 0) {
            kept.push_back(key);
        }
    }
    file->keys.swap(kept);
}

struct LogicalLine {
    std::string text;
    int line;  // of its first physical line
    bool lossy;
};

// The file's lines, with the lines of a value that go on after a trailing
// backslash joined into one.
std::vector<LogicalLine> LogicalLines(const std::string& text, const std::vector<size_t>& lost) {
    std::vector<LogicalLine> lines;
    size_t position = 0;
    int number = 0;
    size_t lostAt = 0;
    bool continuing = false;
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string::npos) {
            end = text.size();
        }
        ++number;
        std::string physical = text.substr(position, end - position);
        bool lossy = false;
        while (lostAt < lost.size() && lost[lostAt] < end) {
            lossy = lossy || lost[lostAt] >= position;
            ++lostAt;
        }
        position = end + 1;
        std::string trimmed = Trimmed(physical);
        if (continuing) {
            lines.back().text += trimmed;
            lines.back().lossy = lines.back().lossy || lossy;
        } else {
            lines.push_back(LogicalLine{trimmed, number, lossy});
        }
        std::string& joined = lines.back().text;
        continuing =
            !joined.empty() && joined.back() == '\\' && (joined[0] == '"' || joined[0] == '@');
        if (continuing) {
            joined.pop_back();
        }
    }
    return lines;
}

}  // namespace

std::string RegTypeName(uint32_t type) {
    switch (type) {
        case kRegNone:
            return "REG_NONE";
        case kRegSz:
            return "REG_SZ";
        case kRegExpandSz:
            return "REG_EXPAND_SZ";
        case kRegBinary:
            return "REG_BINARY";
        case kRegDword:
            return "REG_DWORD";
        case kRegMultiSz:
            return "REG_MULTI_SZ";
        case kRegQword:
            return "REG_QWORD";
        default:
            break;
    }
    char text[24];
    (void)snprintf(text, sizeof(text), "type %u", type);
    return text;
}

bool IsRegStringType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

RegFile ParseRegFile(const std::string& bytes) {
    RegFile file;
    file.encoding = DetectEncoding(bytes);
    size_t mark = ByteOrderMarkLength(file.encoding);
    std::vector<size_t> lost;
    std::string text;
    switch (file.encoding) {
        case TextEncoding::Utf16Le:
            text = Utf16LeToAnsi(bytes.data() + mark, bytes.size() - mark, &lost);
            break;
        case TextEncoding::Utf8:
            text = Utf8ToAnsi(bytes.data() + mark, bytes.size() - mark, &lost);
            break;
        case TextEncoding::Utf16Be:
            return file;  // regedit writes no such file; nothing is imported
        case TextEncoding::Ansi:
            text = bytes;
            break;
    }
    std::vector<LogicalLine> lines = LogicalLines(text, lost);
    if (lines.empty()) {
        return file;
    }
    if (lines[0].text == kVersion5) {
        file.version5 = true;
    } else if (lines[0].text != kVersion4) {
        return file;
    }
    file.isRegistryScript = true;
    RegKey* current = nullptr;
    for (size_t i = 1; i < lines.size(); ++i) {
        const LogicalLine& line = lines[i];
        const std::string& content = line.text;
        if (line.lossy) {
            file.lossyLines.push_back(line.line);
        }
        if (content.empty() || content[0] == ';') {
            continue;
        }
        if (content[0] == '[') {
            size_t close = content.rfind(']');
            if (close == std::string::npos) {
                file.problems.push_back({line.line, "a key line without its closing ']'"});
                current = nullptr;
                continue;
            }
            bool deletion = content.size() > 1 && content[1] == '-';
            std::string path = content.substr(deletion ? 2 : 1, close - (deletion ? 2 : 1));
            if (deletion) {
                DeleteKeyTree(&file, path);
                current = nullptr;
                continue;
            }
            current = FindKeyToChange(&file, path);
            if (current == nullptr) {
                file.keys.push_back(RegKey{path, line.line, {}});
                current = &file.keys.back();
            }
            continue;
        }
        if (content[0] != '"' && content[0] != '@') {
            file.problems.push_back({line.line, "neither a key, a value nor a comment"});
            continue;
        }
        RegValue value{std::string(), kRegNone, std::string(), std::string(), line.line};
        size_t at = 1;  // past the '@'
        if (content[0] == '"') {
            at = 0;
            if (!ReadQuoted(content, &at, &value.name)) {
                file.problems.push_back({line.line, "the value name does not end with its quote"});
                continue;
            }
        }
        while (at < content.size() && IsBlank(content[at])) {
            ++at;
        }
        if (at >= content.size() || content[at] != '=') {
            file.problems.push_back({line.line, "no '=' after the value name"});
            continue;
        }
        std::string data = Trimmed(content.substr(at + 1));
        bool deletion = false;
        std::string why;
        if (!ReadData(data, file.version5, &value, &deletion, &why)) {
            file.problems.push_back({line.line, why});
            continue;
        }
        if (current == nullptr) {
            file.problems.push_back({line.line, "a value outside any key"});
            continue;
        }
        std::vector<RegValue>& values = current->values;
        for (size_t v = 0; v < values.size(); ++v) {
            if (strcasecmp(values[v].name.c_str(), value.name.c_str()) == 0) {
                values.erase(values.begin() + static_cast<long>(v));
                break;
            }
        }
        if (!deletion) {
            values.push_back(value);
        }
    }
    return file;
}

const RegKey* FindRegKey(const RegFile& file, const std::string& path) {
    for (const RegKey& key : file.keys) {
        if (strcasecmp(key.path.c_str(), path.c_str()) == 0) {
            return &key;
        }
    }
    return nullptr;
}

const RegValue* FindRegValue(const RegKey& key, const char* name) {
    for (const RegValue& value : key.values) {
        if (strcasecmp(value.name.c_str(), name) == 0) {
            return &value;
        }
    }
    return nullptr;
}

}  // namespace zk::inicheck
