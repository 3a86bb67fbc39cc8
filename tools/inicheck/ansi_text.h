// The text the co-installer sees in a file written in another encoding. It
// reads zkcoinst.ini and the registry through the ANSI functions, so whatever
// the file holds reaches it converted to the ANSI code page; the checker
// assumes the Western one (1252), where every byte of an ANSI file passes
// unchanged. Windows-free.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zk::inicheck {

// What the first bytes of a file say about its encoding.
enum class TextEncoding {
    Ansi,     // no byte-order mark
    Utf8,     // EF BB BF
    Utf16Le,  // FF FE
    Utf16Be,  // FE FF
};

TextEncoding DetectEncoding(const std::string& bytes);

// The length of the byte-order mark of that encoding (0 for Ansi).
size_t ByteOrderMarkLength(TextEncoding encoding);

// Characters that code page 1252 lacks become '?' (Windows may pick a similar
// letter instead); the offsets of those '?' in the result go to lost, if given.
// An odd last byte of UTF-16 is dropped; each half of a surrogate pair is one
// lost character, as Wine converts them.
std::string Utf16LeToAnsi(const char* data, size_t size, std::vector<size_t>* lost);
// Malformed sequences are lost characters too.
std::string Utf8ToAnsi(const char* data, size_t size, std::vector<size_t>* lost);

// The 1252 byte of a UTF-16 code unit; false when the code page has none.
bool AnsiByteOf(unsigned codeUnit, char* byte);

}  // namespace zk::inicheck
