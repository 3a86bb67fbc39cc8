// Bounded text into fixed buffers. Every function refuses (returns false) when
// the result would not fit its buffer, and then leaves the buffer holding an
// empty string: a text is never cut silently and never overflows.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace zk {

// Copies src (terminator included) into dst of capacity bytes.
bool CopyText(char* dst, size_t capacity, const char* src);

// Appends src to the string already in dst.
bool AppendText(char* dst, size_t capacity, const char* src);

// printf into dst. A null string argument prints as "(null)" on every platform
// the project builds for.
// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
bool FormatText(char* dst, size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args);

// A fixed buffer that knows its capacity, for paths and command lines.
template <size_t N>
struct FixedText {
    char text[N] = {};

    bool Assign(const char* src) { return CopyText(text, N, src); }
    bool Append(const char* src) { return AppendText(text, N, src); }
    // NOLINTNEXTLINE(cert-dcl50-cpp): printf-style on purpose, checked by -Wformat.
    bool Format(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, format);
        bool ok = FormatTextV(text, N, format, args);
        va_end(args);
        return ok;
    }
    void Clear() { text[0] = '\0'; }
    const char* c_str() const { return text; }
    char* data() { return text; }
    static constexpr size_t capacity() { return N; }
};

}  // namespace zk
