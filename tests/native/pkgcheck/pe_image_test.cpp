#include "pe_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using zk::pkgcheck::ExportsName;
using zk::pkgcheck::kMachineAmd64;
using zk::pkgcheck::kMachineI386;
using zk::pkgcheck::PeImage;
using zk::pkgcheck::ReadPeImage;

// A small DLL image laid out as a linker lays one out: headers, then one
// section at RVA 0x1000 (file offset 0x200) holding the export directory
// with its name table and names, and the resource tree with a version.
struct ImageLayout {
    uint16_t machine = kMachineI386;
    bool plus = false;  // PE32+
    bool dll = true;
    std::vector<std::string> exports = {"SetupEntryPoint", "ZkCoInstaller"};
    bool version = true;
    uint32_t versionMs = (11u << 16) | 70u;
    uint32_t versionLs = (1196u << 16) | 0u;
};

void Put16(std::string* bytes, size_t at, uint16_t value) {
    (*bytes)[at] = static_cast<char>(value & 0xFF);
    (*bytes)[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string* bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        (*bytes)[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::string BuildImage(const ImageLayout& layout) {
    const uint32_t kRva = 0x1000;
    const size_t kRaw = 0x200;
    std::string data(0x400, '\0');  // the section's bytes
    // Export directory at the start, the name table after it, then names.
    size_t names = 40;
    size_t text = names + 4 * layout.exports.size();
    Put32(&data, 24, static_cast<uint32_t>(layout.exports.size()));
    Put32(&data, 32, kRva + static_cast<uint32_t>(names));
    for (size_t i = 0; i < layout.exports.size(); ++i) {
        Put32(&data, names + 4 * i, kRva + static_cast<uint32_t>(text));
        data.replace(text, layout.exports[i].size(), layout.exports[i]);
        text += layout.exports[i].size() + 1;
    }
    // Resources at 0x200 of the section: type 16 -> name 1 -> language -> data.
    const size_t kRes = 0x200;
    Put16(&data, kRes + 14, 1);
    Put32(&data, kRes + 16, 16);
    Put32(&data, kRes + 20, 0x80000000u | 0x18);
    Put16(&data, kRes + 0x18 + 14, 1);
    Put32(&data, kRes + 0x18 + 16, 1);
    Put32(&data, kRes + 0x18 + 20, 0x80000000u | 0x30);
    Put16(&data, kRes + 0x30 + 14, 1);
    Put32(&data, kRes + 0x30 + 16, 0x409);
    Put32(&data, kRes + 0x30 + 20, 0x48);
    const size_t kInfo = kRes + 0x60;
    Put32(&data, kRes + 0x48, kRva + static_cast<uint32_t>(kInfo));
    Put32(&data, kRes + 0x4C, 92);
    Put16(&data, kInfo, 92);
    Put16(&data, kInfo + 2, 52);
    const char kKey[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof(kKey); ++i) {
        Put16(&data, kInfo + 6 + 2 * i, static_cast<uint16_t>(kKey[i]));
    }
    Put32(&data, kInfo + 40, 0xFEEF04BDu);
    Put32(&data, kInfo + 48, layout.versionMs);
    Put32(&data, kInfo + 52, layout.versionLs);

    uint16_t optionalSize = layout.plus ? 240 : 224;
    std::string image(kRaw, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(&image, 0x3c, 0x40);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    size_t coff = 0x44;
    Put16(&image, coff, layout.machine);
    Put16(&image, coff + 2, 1);
    Put16(&image, coff + 16, optionalSize);
    Put16(&image, coff + 18, layout.dll ? 0x2102 : 0x0102);
    size_t optional = coff + 20;
    Put16(&image, optional, layout.plus ? 0x20b : 0x10b);
    size_t count = optional + (layout.plus ? 108 : 92);
    Put32(&image, count, 16);
    size_t directories = count + 4;
    Put32(&image, directories, kRva);
    Put32(&image, directories + 4, 40);
    if (layout.version) {
        Put32(&image, directories + 16, kRva + static_cast<uint32_t>(kRes));
        Put32(&image, directories + 20, 0x100);
    }
    size_t section = optional + optionalSize;
    image.replace(section, 5, ".data");
    Put32(&image, section + 8, static_cast<uint32_t>(data.size()));
    Put32(&image, section + 12, kRva);
    Put32(&image, section + 16, static_cast<uint32_t>(data.size()));
    Put32(&image, section + 20, static_cast<uint32_t>(kRaw));
    return image + data;
}

TEST(PeImage, ReadsMachineExportsAndVersionOfBothKinds) {
    struct Case {
        const char* name;
        uint16_t machine;
        bool plus;
    };
    const Case cases[] = {
        {"x86 PE32", kMachineI386, false},
        {"amd64 PE32+", kMachineAmd64, true},
    };
    for (const Case& c : cases) {
        ImageLayout layout;
        layout.machine = c.machine;
        layout.plus = c.plus;
        PeImage image;
        std::string error;
        ASSERT_TRUE(ReadPeImage(BuildImage(layout), &image, &error)) << c.name << ": " << error;
        EXPECT_EQ(c.machine, image.machine) << c.name;
        EXPECT_TRUE(image.isDll) << c.name;
        EXPECT_EQ(layout.exports, image.exports) << c.name;
        EXPECT_TRUE(ExportsName(image, "ZkCoInstaller")) << c.name;
        EXPECT_FALSE(ExportsName(image, "zkcoinstaller")) << c.name;
        ASSERT_TRUE(image.hasVersion) << c.name;
        EXPECT_EQ(11, image.fileVersion[0]) << c.name;
        EXPECT_EQ(70, image.fileVersion[1]) << c.name;
        EXPECT_EQ(1196, image.fileVersion[2]) << c.name;
        EXPECT_EQ(0, image.fileVersion[3]) << c.name;
    }
}

TEST(PeImage, MissingPartsAreReportedAsMissing) {
    ImageLayout layout;
    layout.version = false;
    layout.exports.clear();
    layout.dll = false;
    PeImage image;
    std::string error;
    ASSERT_TRUE(ReadPeImage(BuildImage(layout), &image, &error)) << error;
    EXPECT_FALSE(image.hasVersion);
    EXPECT_TRUE(image.exports.empty());
    EXPECT_FALSE(image.isDll);
}

TEST(PeImage, WhatIsNoPeImageIsRefused) {
    std::string good = BuildImage(ImageLayout());
    std::string noMz = good;
    noMz[0] = 'X';
    std::string noSignature = good;
    noSignature[0x41] = 'X';
    std::string unknownKind = good;
    Put16(&unknownKind, 0x44 + 20, 0x107);
    std::string farHeader = good;
    Put32(&farHeader, 0x3c, 0xFFFFFFF0u);
    for (const std::string& bytes :
         {std::string(), std::string("MZ"), noMz, noSignature, unknownKind, farHeader}) {
        PeImage image;
        std::string error;
        EXPECT_FALSE(ReadPeImage(bytes, &image, &error)) << bytes.size();
        EXPECT_FALSE(error.empty());
    }
}

// Every prefix of an image, and names and directories that point anywhere,
// stay within the bytes (AddressSanitizer watches the reads).
TEST(PeImage, CutAndBentImagesStayWithinTheirBytes) {
    std::string good = BuildImage(ImageLayout());
    for (size_t length = 0; length <= good.size(); ++length) {
        std::string cut(good.data(), length);
        PeImage image;
        std::string error;
        if (ReadPeImage(cut, &image, &error)) {
            EXPECT_LE(image.exports.size(), 2u);
        }
    }
    const size_t kSection = 0x200;
    const uint32_t kBad[] = {0, 0xFFFFFFFFu, 0x1000 + 0x3FF, 0x80000000u, 0x0FFF};
    const size_t kPointers[] = {
        kSection + 24,            // the count of names
        kSection + 32,            // the name table
        kSection + 40,            // the first name
        kSection + 0x200 + 20,    // the type entry
        kSection + 0x200 + 0x48,  // the version data
        kSection + 0x200 + 0x4C,  // its size
        0x44 + 2,                 // the count of sections
        0x44 + 20 + 92,           // the count of directories
    };
    for (size_t pointer : kPointers) {
        for (uint32_t bad : kBad) {
            std::string bent = good;
            Put32(&bent, pointer, bad);
            PeImage image;
            std::string error;
            (void)ReadPeImage(bent, &image, &error);
            EXPECT_LE(image.exports.size(), zk::pkgcheck::kMaxExportNames);
        }
    }
}

TEST(PeImage, LongNamesAreCut) {
    ImageLayout layout;
    layout.exports = {std::string(300, 'n')};
    PeImage image;
    std::string error;
    ASSERT_TRUE(ReadPeImage(BuildImage(layout), &image, &error)) << error;
    ASSERT_EQ(1u, image.exports.size());
    EXPECT_EQ(std::string(zk::pkgcheck::kMaxExportNameLength, 'n'), image.exports[0]);
}

}  // namespace
