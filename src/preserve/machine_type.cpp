#include "preserve/machine_type.h"

namespace {

// The DOS header's e_lfanew: where the PE signature begins.
constexpr size_t kPeOffsetField = 0x3C;
// The signature "PE\0\0", then the COFF header, whose first field is Machine.
constexpr size_t kSignatureSize = 4;
constexpr size_t kMachineSize = 2;

uint32_t ReadLittle32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool ReadPeMachine(const unsigned char* bytes, size_t size, uint16_t* machine) {
    if (bytes == nullptr || size < kPeOffsetField + 4 || bytes[0] != 'M' || bytes[1] != 'Z') {
        return false;
    }
    uint32_t offset = ReadLittle32(bytes + kPeOffsetField);
    // Compared without adding to offset first, so that no sum can wrap.
    if (offset > size || size - offset < kSignatureSize + kMachineSize) {
        return false;
    }
    const unsigned char* header = bytes + offset;
    if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) {
        return false;
    }
    *machine = static_cast<uint16_t>(header[4] | header[5] << 8);
    return true;
}
