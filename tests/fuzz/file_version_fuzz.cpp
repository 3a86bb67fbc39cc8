// File versions as any file's version resource may state them, and their
// order. Input: two fixed-information pairs (four 32-bit numbers).
#include "fuzz_support.h"
#include "preserve/file_version.h"

namespace {

uint32_t Word32(fuzz::Input* input) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = (value << 8) | input->Byte();
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint32_t ms[2] = {Word32(&input), Word32(&input)};
    uint32_t ls[2] = {Word32(&input), Word32(&input)};
    FileVersion a = FileVersionFromFixedInfo(ms[0], ls[0]);
    FileVersion b = FileVersionFromFixedInfo(ms[1], ls[1]);

    // The four numbers read together are one unsigned 64-bit number, and the
    // order is that number's order.
    uint64_t wholeA = (static_cast<uint64_t>(ms[0]) << 32) | ls[0];
    uint64_t wholeB = (static_cast<uint64_t>(ms[1]) << 32) | ls[1];
    FUZZ_CHECK(((static_cast<uint64_t>(a.major) << 48) | (static_cast<uint64_t>(a.minor) << 32) |
                (static_cast<uint64_t>(a.build) << 16) | a.revision) == wholeA);
    FUZZ_CHECK(IsNewerVersion(a, b) == (wholeA > wholeB));
    FUZZ_CHECK(IsNewerVersion(b, a) == (wholeB > wholeA));
    FUZZ_CHECK(!IsNewerVersion(a, a));
    FUZZ_CHECK(IsNoVersion(a) == (wholeA == 0));
    return 0;
}
