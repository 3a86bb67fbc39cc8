#include "ansi_text.h"

namespace zk::inicheck {

namespace {

// Code page 1252 from 0x80 to 0x9F; the five bytes it leaves undefined map to
// the control characters of the same number, both ways.
const unsigned kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void Append(unsigned codePoint, std::string* out, std::vector<size_t>* lost) {
    char byte = '?';
    if (!AnsiByteOf(codePoint, &byte)) {
        if (lost != nullptr) {
            lost->push_back(out->size());
        }
        byte = '?';
    }
    out->push_back(byte);
}

}  // namespace

TextEncoding DetectEncoding(const std::string& bytes) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return TextEncoding::Utf8;
    }
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        return TextEncoding::Utf16Le;
    }
    if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
        return TextEncoding::Utf16Be;
    }
    return TextEncoding::Ansi;
}

size_t ByteOrderMarkLength(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            return 3;
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be:
            return 2;
        case TextEncoding::Ansi:
            break;
    }
    return 0;
}

bool AnsiByteOf(unsigned codeUnit, char* byte) {
    if (codeUnit < 0x80 || (codeUnit >= 0xA0 && codeUnit <= 0xFF)) {
        *byte = static_cast<char>(codeUnit);
        return true;
    }
    for (unsigned i = 0; i < 32; ++i) {
        if (kHighControls[i] == codeUnit) {
            *byte = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

std::string Utf16LeToAnsi(const char* data, size_t size, std::vector<size_t>* lost) {
    std::string out;
    out.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        unsigned unit = static_cast<unsigned char>(data[i]) |
                        static_cast<unsigned>(static_cast<unsigned char>(data[i + 1])) << 8;
        Append(unit, &out, lost);
    }
    return out;
}

std::string Utf8ToAnsi(const char* data, size_t size, std::vector<size_t>* lost) {
    std::string out;
    size_t i = 0;
    while (i < size) {
        auto lead = static_cast<unsigned char>(data[i]);
        size_t extra = lead < 0x80             ? 0
                       : (lead & 0xE0) == 0xC0 ? 1
                       : (lead & 0xF0) == 0xE0 ? 2
                       : (lead & 0xF8) == 0xF0 ? 3
                                               : 4;
        unsigned codePoint = extra == 0 ? lead : lead & (0x3Fu >> extra);
        bool valid = extra < 4 && i + extra < size;
        for (size_t k = 1; valid && k <= extra; ++k) {
            auto next = static_cast<unsigned char>(data[i + k]);
            valid = (next & 0xC0) == 0x80;
            codePoint = codePoint << 6 | (next & 0x3Fu);
        }
        if (!valid) {
            // One lost character per byte that starts no whole sequence.
            Append(0xFFFD, &out, lost);
            ++i;
            continue;
        }
        Append(codePoint, &out, lost);
        i += extra + 1;
    }
    return out;
}

}  // namespace zk::inicheck
