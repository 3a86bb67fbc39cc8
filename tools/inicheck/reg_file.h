// A regedit export (.reg file) read as regedit imports it, with every value as
// the co-installer's ANSI registry reads see it. Windows-free.
//
// - The first line is "REGEDIT4" (ANSI text, the Windows 9x and NT 4.0 form)
//   or "Windows Registry Editor Version 5.00" (what regedit exports from
//   Windows 2000 on, as UTF-16LE with a byte-order mark); anything else is no
//   registry script.
// - "[key]" starts a key, "[-key]" deletes it with its subkeys; "name"=data
//   and @=data set a value, "name"=- deletes it; ';' starts a comment line.
// - Data: "text" (REG_SZ; \\ and \" are the escapes), dword:<hex>,
//   hex:<bytes> (REG_BINARY) and hex(<type>):<bytes>, whose byte lists may go
//   on over lines that end in a backslash.
// - hex(1), hex(2) and hex(7) bytes are UTF-16LE in a version 5.00 file and
//   ANSI in a REGEDIT4 file; the ANSI reads give either as ANSI text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ansi_text.h"

namespace zk::inicheck {

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

struct RegValue {
    std::string name;  // empty: the key's default value (@)
    uint32_t type;
    // The bytes RegQueryValueExA hands over: string types converted to ANSI
    // (with their terminators), everything else as stored.
    std::string data;
    std::string written;  // the data as the file wrote it, for messages
    int line;
};

struct RegKey {
    std::string path;  // as written, without the brackets
    int line;
    std::vector<RegValue> values;
};

struct RegProblem {
    int line;
    std::string text;
};

struct RegFile {
    bool isRegistryScript = false;  // the first line names a format regedit reads
    bool version5 = false;          // "Windows Registry Editor Version 5.00"
    TextEncoding encoding = TextEncoding::Ansi;
    std::vector<RegKey> keys;  // in the order they first appear, deleted ones gone
    // Lines regedit does not import, and why.
    std::vector<RegProblem> problems;
    std::vector<int> lossyLines;  // characters that the ANSI code page lacks
};

RegFile ParseRegFile(const std::string& bytes);

// The key of path (without regard to case), or nullptr.
const RegKey* FindRegKey(const RegFile& file, const std::string& path);
// The value of name in key (without regard to case), or nullptr.
const RegValue* FindRegValue(const RegKey& key, const char* name);

// The name regedit writes for a type ("REG_SZ"), or "type N".
std::string RegTypeName(uint32_t type);
// True for the three types the ANSI functions convert: REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ.
bool IsRegStringType(uint32_t type);

}  // namespace zk::inicheck
