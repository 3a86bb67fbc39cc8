// A file of a driver package that claims to be a DLL: its machine, export
// names and version read from any bytes. Input: the file's bytes.
#include <string>

#include "fuzz_support.h"
#include "pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes in a block of their own size, so that a read past the end is
    // a read past the block.
    fuzz::Block block(size);
    if (size > 0) {
        memcpy(block.bytes, data, size);
    }
    std::string bytes(block.bytes, block.size);
    zk::pkgcheck::PeImage image;
    std::string error;
    if (!zk::pkgcheck::ReadPeImage(bytes, &image, &error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(image.exports.empty() && !image.hasVersion);
        return 0;
    }
    FUZZ_CHECK(size >= 0x40);
    FUZZ_CHECK(image.exports.size() <= zk::pkgcheck::kMaxExportNames);
    for (const std::string& name : image.exports) {
        FUZZ_CHECK(name.size() <= zk::pkgcheck::kMaxExportNameLength);
        FUZZ_CHECK(name.find('\0') == std::string::npos);
    }
    return 0;
}
