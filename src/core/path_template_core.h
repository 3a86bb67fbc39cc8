// Path template expansion without Windows: the "%"-separated tokens, the
// alternation of literal and variable tokens, the exact-size growth of the
// result and the ownership of both buffers. The allocator, the file system and
// the shell folders come in through PathTemplatePlatform, so the Win32 layer
// supplies the real ones and tests supply fakes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kNoFileAttributes = 0xFFFFFFFFu;  // INVALID_FILE_ATTRIBUTES
constexpr uint32_t kDirectoryAttribute = 0x10u;      // FILE_ATTRIBUTE_DIRECTORY
constexpr size_t kTemplatePathCapacity = 260;        // MAX_PATH

struct PathTemplatePlatform {
    void* (*alloc)(uint32_t size);  // null on failure; memory not cleared
    void (*free)(void* block);      // ignores null
    // Attributes of path, or kNoFileAttributes when it cannot be read.
    uint32_t (*getFileAttributes)(const char* path);
    // The folder of a CSIDL into a buffer of kTemplatePathCapacity bytes, no
    // trailing backslash; false when the system has none for that number.
    bool (*getSpecialFolderPath)(int csidl, char* path);
};

// The next token of a "%"-separated string, strtok_s style: a run of "%" is one
// separator, leading and trailing runs give no empty token. Pass the string
// first, then null; *context keeps the position, so calls on different strings
// do not disturb each other. Cuts the string in place. Null when none is left.
char* NextTemplateToken(char* text, char** context);

// The CSIDL a variable token names: its leading decimal number read like atoi
// (leading blanks, optional sign); 0 when it does not begin with digits. A
// number out of int's range saturates, which names no shell folder.
int CsidlFromToken(const char* token);

// True for the maker-folder variable, "L" in either case.
bool IsMakerFolderToken(const char* token);

// Appends text to buffer (null: none yet), growing it to exactly the size
// needed; *capacity is the buffer's allocated size, read and updated. Returns
// the buffer, possibly a new one (the old one freed). Null when the grown
// buffer cannot be had: then buffer and *capacity are left as they were, and
// the caller still owns buffer.
char* AppendToBufferWith(const PathTemplatePlatform& platform, char* buffer, uint32_t* capacity,
                         const char* text);

// Expands templateBuffer (from platform.alloc, consumed). The maker folder is
// looked for under the text built so far, less a double quote that opens it.
// Returns a new buffer
// with the expansion, or templateBuffer itself unchanged when it holds no token,
// or null (both buffers freed) when a variable cannot be resolved or memory
// runs out. The caller frees what is returned with platform.free.
char* ExpandPathTemplateWith(const PathTemplatePlatform& platform, char* templateBuffer);
