#include "profile_reader.h"

#include <cstring>

namespace zk::inicheck {

namespace {

bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

// The upper-case byte of a 1252 letter: ASCII, the accented letters from
// 0xE0 (but the division sign), and the four pairs among 0x80-0x9F.
unsigned char FoldCase(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return static_cast<unsigned char>(c - 0x20);
    }
    switch (c) {
        case 0x9A:  // s caron
        case 0x9C:  // oe
        case 0x9E:  // z caron
            return static_cast<unsigned char>(c - 0x10);
        case 0xFF:  // y diaeresis
            return 0x9F;
        default:
            return c;
    }
}

// lstrcpyn: at most capacity - 1 characters and a NUL; returns the length copied.
size_t CopyCut(char* out, size_t capacity, const char* text) {
    if (capacity == 0) {
        return 0;
    }
    size_t length = strlen(text);
    if (length > capacity - 1) {
        length = capacity - 1;
    }
    memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

}  // namespace

ProfileFile ParseProfile(const std::string& bytes) {
    ProfileFile file;
    file.encoding = DetectEncoding(bytes);
    std::string converted;
    std::vector<size_t> lost;
    switch (file.encoding) {
        case TextEncoding::Utf16Le:
            converted = Utf16LeToAnsi(bytes.data() + 2, bytes.size() - 2, &lost);
            break;
        case TextEncoding::Utf16Be:
            return file;  // Windows finds no section in it
        case TextEncoding::Ansi:
        case TextEncoding::Utf8:  // the mark is text of the first line
            break;
    }
    const std::string& text = file.encoding == TextEncoding::Utf16Le ? converted : bytes;
    size_t lostAt = 0;
    size_t position = 0;
    ProfileSection* current = &file.leading;
    int lineNumber = 1;
    while (position < text.size()) {
        // A line ends at any run of carriage returns and line feeds.
        size_t start = position;
        size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        int thisLine = lineNumber;
        position = end;
        while (position < text.size() && (text[position] == '\n' || text[position] == '\r')) {
            bool lone = text[position] == '\r' &&
                        (position + 1 >= text.size() || text[position + 1] != '\n');
            if (text[position] == '\n' || lone) {
                ++lineNumber;
            }
            ++position;
        }
        while (start < end && IsProfileSpace(text[start])) {
            ++start;
        }
        while (end > start && IsProfileSpace(text[end - 1])) {
            --end;
        }
        bool lossy = false;
        while (lostAt < lost.size() && lost[lostAt] < end) {
            lossy = lossy || lost[lostAt] >= start;
            ++lostAt;
        }
        if (start == end) {
            continue;
        }
        std::string line = text.substr(start, end - start);
        // Only a header or a line that a read may return is worth a word.
        if (lossy && line[0] != ';') {
            file.lossyLines.push_back(thisLine);
        }
        if (file.encoding == TextEncoding::Utf8 && start == 0 && line.size() > 3 &&
            line[3] == '[' && line.find(']') != std::string::npos) {
            file.markedHeader = line.substr(3);
            file.markedHeaderLine = thisLine;
        }
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close != std::string::npos && close > 0) {
                size_t nameStart = 1;
                size_t nameEnd = close;
                while (nameStart < nameEnd && IsProfileSpace(line[nameStart])) {
                    ++nameStart;
                }
                while (nameEnd > nameStart && IsProfileSpace(line[nameEnd - 1])) {
                    --nameEnd;
                }
                file.sections.push_back(
                    ProfileSection{line.substr(nameStart, nameEnd - nameStart), thisLine, {}});
                current = &file.sections.back();
                continue;
            }
        }
        ProfileEntry entry{line, std::string(), false, thisLine};
        size_t equals = line.find('=');
        if (equals != std::string::npos) {
            size_t nameEnd = equals;
            while (nameEnd > 0 && IsProfileSpace(line[nameEnd - 1])) {
                --nameEnd;
            }
            size_t valueStart = equals + 1;
            while (valueStart < line.size() && IsProfileSpace(line[valueStart])) {
                ++valueStart;
            }
            entry.name = line.substr(0, nameEnd);
            entry.value = line.substr(valueStart);
            entry.hasValue = true;
        }
        // A line with an empty name right after another one is dropped; the
        // one before counts as empty when a NUL begins it.
        if (entry.name.empty() && !current->entries.empty() &&
            current->entries.back().name.c_str()[0] == '\0') {
            continue;
        }
        current->entries.push_back(entry);
    }
    return file;
}

bool SameProfileName(const std::string& a, const char* b) {
    const char* stored = a.c_str();
    size_t i = 0;
    for (; stored[i] != '\0' && b[i] != '\0'; ++i) {
        if (FoldCase(static_cast<unsigned char>(stored[i])) !=
            FoldCase(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return stored[i] == '\0' && b[i] == '\0';
}

const ProfileSection* FindSection(const ProfileFile& file, const char* name) {
    if (name[0] == '\0') {
        return &file.leading;
    }
    for (const ProfileSection& section : file.sections) {
        if (SameProfileName(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

std::vector<const ProfileEntry*> ReturnedEntries(const ProfileSection& section) {
    std::vector<const ProfileEntry*> entries;
    for (const ProfileEntry& entry : section.entries) {
        const char* name = entry.name.c_str();
        if ((name[0] != '\0' || entry.hasValue) && name[0] != ';') {
            entries.push_back(&entry);
        }
    }
    return entries;
}

namespace {

// The wide-character read that the ANSI call makes first: lines copied one
// after the other, each cut to what is left less one character; "left" never
// drops below one, so the closing NULs always fit. Returns the count.
size_t FillSection(const ProfileSection& section, std::string* out, size_t capacity) {
    out->assign(capacity, '\0');
    char* buffer = &(*out)[0];
    size_t left = capacity;
    size_t used = 0;
    for (const ProfileEntry* entry : ReturnedEntries(section)) {
        if (left <= 2) {
            break;
        }
        size_t length = CopyCut(buffer + used, left - 1, entry->name.c_str());
        left -= length + 1;
        used += length + 1;
        if (left < 2) {
            break;
        }
        if (entry->hasValue) {
            buffer[used - 1] = '=';
            length = CopyCut(buffer + used, left - 1, entry->value.c_str());
            left -= length + 1;
            used += length + 1;
        }
    }
    buffer[used] = '\0';
    if (left <= 1) {
        buffer[used - 1] = '\0';
        return capacity - 2;
    }
    return used;
}

}  // namespace

size_t ReadProfileSection(const ProfileFile& file, const char* name, char* buffer,
                          size_t capacity) {
    if (capacity < 2) {
        if (capacity == 1) {
            buffer[0] = '\0';
        }
        return 0;
    }
    const ProfileSection* section = FindSection(file, name);
    std::string wide;
    size_t wideCount = section == nullptr ? 0 : FillSection(*section, &wide, capacity * 2);
    if (wideCount == 0) {
        buffer[0] = buffer[1] = '\0';
        return 0;
    }
    // The ANSI call reads into twice the room and converts the characters
    // and the closing NUL into the caller's buffer. When they do not fit, or
    // just fill it, the buffer keeps what fitted and ends in two NULs: the
    // last line is cut wherever the buffer ended.
    if (wideCount == capacity * 2 - 2) {
        ++wideCount;
    }
    if (wideCount + 1 >= capacity) {
        memcpy(buffer, wide.data(), capacity);
        buffer[capacity - 2] = buffer[capacity - 1] = '\0';
        return capacity - 2;
    }
    memcpy(buffer, wide.data(), wideCount + 1);
    return wideCount;
}

size_t ReadProfileString(const ProfileFile& file, const char* section, const char* key, char* out,
                         size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    // Names asked for are taken without blanks at their ends.
    auto trimmed = [](const char* text) {
        std::string s(text);
        size_t start = 0;
        while (start < s.size() && IsProfileSpace(s[start])) {
            ++start;
        }
        size_t end = s.size();
        while (end > start && IsProfileSpace(s[end - 1])) {
            --end;
        }
        return s.substr(start, end - start);
    };
    std::string sectionName = trimmed(section);
    std::string keyName = trimmed(key);
    if (keyName.empty()) {
        return 0;
    }
    const ProfileSection* found = FindSection(file, sectionName.c_str());
    if (found == nullptr) {
        return 0;
    }
    for (const ProfileEntry& entry : found->entries) {
        if (!SameProfileName(entry.name, keyName.c_str())) {
            continue;
        }
        if (!entry.hasValue) {
            return 0;
        }
        const char* value = entry.value.c_str();
        size_t valueLength = strlen(value);
        bool quoted = valueLength >= 2 && (value[0] == '\'' || value[0] == '"') &&
                      value[valueLength - 1] == value[0];
        if (!quoted) {
            return CopyCut(out, capacity, value);
        }
        // The closing quote goes only when the whole value fitted.
        size_t length = CopyCut(out, capacity, value + 1);
        if (capacity >= valueLength - 1 && length > 0) {
            out[--length] = '\0';
        }
        return length;
    }
    return 0;
}

}  // namespace zk::inicheck
