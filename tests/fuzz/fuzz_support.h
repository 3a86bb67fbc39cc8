// Helpers shared by the fuzz targets: splitting an input into fields, exact-size
// heap blocks (so that AddressSanitizer sees a single byte read or written past
// a size we gave), and a check that stops the run with a message.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// A broken promise of the code under test: report it and stop, so that
// libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                        \
        }                                                                                   \
    } while (0)

namespace fuzz {

// Fields are separated by the unit separator byte; the last field asked for
// takes the rest of the input whole, separators included, so the field that
// must be able to hold any byte is always taken last.
constexpr char kFieldSeparator = '\x1f';

struct Input {
    const uint8_t* data;
    size_t size;

    // The next field, up to the separator (which is consumed).
    std::string Field() {
        const void* separator = size > 0 ? memchr(data, kFieldSeparator, size) : nullptr;
        size_t length = separator != nullptr
                            ? static_cast<size_t>(static_cast<const uint8_t*>(separator) - data)
                            : size;
        std::string field(reinterpret_cast<const char*>(data), length);
        size_t consumed = separator != nullptr ? length + 1 : length;
        data += consumed;
        size -= consumed;
        return field;
    }

    // Everything that is left.
    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(data), size);
        data += size;
        size = 0;
        return rest;
    }

    // One byte of settings; 0 when the input is used up.
    uint8_t Byte() {
        if (size == 0) {
            return 0;
        }
        uint8_t value = data[0];
        ++data;
        --size;
        return value;
    }
};

// A heap block of exactly size bytes, filled with a pattern so that reads of
// bytes never written stand out. Under ASan a block of 0 bytes still has an
// address, and any access through it is reported.
struct Block {
    char* bytes;
    size_t size;

    explicit Block(size_t n) : bytes(static_cast<char*>(malloc(n))), size(n) {
        if (bytes == nullptr) {
            abort();
        }
        if (n > 0) {
            memset(bytes, 0xA5, n);
        }
    }
    Block(const std::string& text, size_t n) : Block(n) { memcpy(bytes, text.data(), text.size()); }
    Block(Block&& other) noexcept : bytes(other.bytes), size(other.size) {
        other.bytes = nullptr;
        other.size = 0;
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    Block& operator=(Block&&) = delete;
    ~Block() { free(bytes); }
    std::string Str() const { return std::string(bytes, size); }
};

// The bytes of text without a terminator, in a block of exactly their size.
inline Block Unterminated(const std::string& text) {
    Block block(text.size());
    if (!text.empty()) {
        memcpy(block.bytes, text.data(), text.size());
    }
    return block;
}

// text up to its first NUL, terminated, in a block of exactly that size.
inline Block Terminated(const std::string& text) {
    size_t length = strnlen(text.c_str(), text.size());
    Block block(length + 1);
    memcpy(block.bytes, text.data(), length);
    block.bytes[length] = '\0';
    return block;
}

// text up to its first NUL, as a C string would see it.
inline std::string CString(const std::string& text) {
    return std::string(text.c_str());
}

inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string Lowered(std::string text) {
    for (char& c : text) {
        c = LowerAscii(c);
    }
    return text;
}

// printf into a string of exactly the size the text needs.
inline std::string Printed(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string Printed(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace fuzz
