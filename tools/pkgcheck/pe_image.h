// What the package checker needs to know of a DLL, read from its bytes: the
// machine it is built for, the names it exports and the file version of its
// version resource. Windows-free and bounded: any bytes give an answer or a
// refusal, never a read outside them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zk::pkgcheck {

constexpr uint16_t kMachineI386 = 0x14c;
constexpr uint16_t kMachineAmd64 = 0x8664;

// At most this many export names are read; a co-installer has a handful.
constexpr size_t kMaxExportNames = 4096;
// Longer export names are cut.
constexpr size_t kMaxExportNameLength = 256;

struct PeImage {
    uint16_t machine = 0;
    bool isDll = false;
    std::vector<std::string> exports;  // by name, in the order of the name table
    bool hasVersion = false;
    uint16_t fileVersion[4] = {0, 0, 0, 0};  // VS_FIXEDFILEINFO's file version
};

// False with *error set when the bytes are no PE image; a missing or broken
// export table or version resource is no error (the image has none).
bool ReadPeImage(const std::string& bytes, PeImage* image, std::string* error);

bool ExportsName(const PeImage& image, const char* name);

}  // namespace zk::pkgcheck
