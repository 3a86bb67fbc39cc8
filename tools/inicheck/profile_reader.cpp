#include "profile_reader.h"

#include <cstring>
#include <strings.h>

namespace zk::inicheck {

namespace {

bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

bool SameName(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
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

ProfileFile ParseProfile(const std::string& text) {
    ProfileFile file;
    size_t position = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        position = 3;
    }
    ProfileSection* current = nullptr;
    int lineNumber = 0;
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) {
            end = text.size();
        }
        ++lineNumber;
        size_t start = position;
        position = next;
        while (start < end && IsProfileSpace(text[start])) {
            ++start;
        }
        while (end > start && IsProfileSpace(text[end - 1])) {
            --end;
        }
        if (start == end) {
            continue;
        }
        std::string line = text.substr(start, end - start);
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close != std::string::npos) {
                file.sections.push_back(ProfileSection{line.substr(1, close - 1), lineNumber, {}});
                current = &file.sections.back();
                continue;
            }
        }
        if (current == nullptr) {
            continue;
        }
        ProfileEntry entry{line, std::string(), false, lineNumber};
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
        current->entries.push_back(entry);
    }
    return file;
}

const ProfileSection* FindSection(const ProfileFile& file, const char* name) {
    for (const ProfileSection& section : file.sections) {
        if (SameName(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

std::vector<const ProfileEntry*> ReturnedEntries(const ProfileSection& section) {
    std::vector<const ProfileEntry*> entries;
    for (const ProfileEntry& entry : section.entries) {
        if (!entry.name.empty() && entry.name[0] != ';') {
            entries.push_back(&entry);
        }
    }
    return entries;
}

size_t ReadProfileSection(const ProfileFile& file, const char* name, char* buffer,
                          size_t capacity) {
    if (capacity <= 2) {
        if (capacity > 0) {
            buffer[0] = '\0';
        }
        if (capacity > 1) {
            buffer[1] = '\0';
        }
        return 0;
    }
    const ProfileSection* section = FindSection(file, name);
    if (section == nullptr) {
        buffer[0] = buffer[1] = '\0';
        return 0;
    }
    // The platform fills the buffer line by line, each line cut to what is
    // left less one character; "left" never drops below one, so the closing
    // NULs always fit.
    size_t left = capacity;
    size_t used = 0;
    for (const ProfileEntry* entry : ReturnedEntries(*section)) {
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
    size_t count = used;
    if (left <= 1) {
        buffer[used - 1] = '\0';
        count = capacity - 2;
    }
    // The ANSI form reports a section of fewer than two characters as empty.
    if (count < 2) {
        buffer[capacity - 2] = buffer[capacity - 1] = '\0';
        return 0;
    }
    return count;
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
        if (!SameName(entry.name, keyName.c_str())) {
            continue;
        }
        if (!entry.hasValue) {
            return 0;
        }
        const char* value = entry.value.c_str();
        size_t valueLength = entry.value.size();
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
