#include "preserve/machine_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A minimal image: "MZ", the PE header's offset at 0x3C, "PE\0\0" there and
// the machine type after it.
std::vector<unsigned char> Image(uint32_t peOffset, uint16_t machine, size_t size) {
    std::vector<unsigned char> bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) {
        bytes[0x3C + i] = static_cast<unsigned char>(peOffset >> (8 * i));
    }
    const unsigned char header[] = {'P',
                                    'E',
                                    0,
                                    0,
                                    static_cast<unsigned char>(machine & 0xFF),
                                    static_cast<unsigned char>(machine >> 8)};
    for (size_t i = 0; i < sizeof(header) && peOffset + i < size; ++i) {
        bytes[peOffset + i] = header[i];
    }
    return bytes;
}

TEST(ReadPeMachine, ReadsTheMachineOfEveryWellFormedImage) {
    for (uint16_t machine : {kMachineI386, kMachineAmd64, uint16_t{0}, uint16_t{0xAA64}}) {
        std::vector<unsigned char> bytes = Image(0x80, machine, 512);
        uint16_t read = 1;
        ASSERT_TRUE(ReadPeMachine(bytes.data(), bytes.size(), &read)) << machine;
        EXPECT_EQ(machine, read);
    }
    // The header may end exactly with the bytes given.
    std::vector<unsigned char> tight = Image(0x40, kMachineAmd64, 0x46);
    uint16_t read = 0;
    EXPECT_TRUE(ReadPeMachine(tight.data(), tight.size(), &read));
    EXPECT_EQ(kMachineAmd64, read);
}

TEST(ReadPeMachine, RefusesWhatIsNoImageWithoutReadingPastTheBytes) {
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
    };
    std::vector<unsigned char> noMz = Image(0x80, kMachineI386, 512);
    noMz[0] = 'N';
    std::vector<unsigned char> noSignature = Image(0x80, kMachineI386, 512);
    noSignature[0x81] = 'X';
    std::vector<unsigned char> shortDos = Image(0x80, kMachineI386, 512);
    shortDos.resize(0x3F);
    const std::vector<Case> cases = {
        {"no MZ", noMz},
        {"no PE signature at the offset", noSignature},
        {"the offset field cut", shortDos},
        {"the offset beyond the bytes", Image(0x1000, kMachineI386, 512)},
        {"the machine field cut", Image(0x80, kMachineI386, 0x85)},
        {"an offset that would wrap a sum", Image(0xFFFFFFFE, kMachineI386, 512)},
        {"nothing", {}},
    };
    for (const Case& c : cases) {
        uint16_t machine = 0x1234;
        EXPECT_FALSE(
            ReadPeMachine(c.bytes.empty() ? nullptr : c.bytes.data(), c.bytes.size(), &machine))
            << c.what;
        EXPECT_EQ(0x1234, machine) << c.what;
    }
}

}  // namespace
