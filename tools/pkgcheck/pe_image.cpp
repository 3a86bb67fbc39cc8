#include "pe_image.h"

#include <cstring>

namespace zk::pkgcheck {

namespace {

// Offsets within the headers, as the PE format lays them out.
constexpr uint64_t kDosLfanew = 0x3c;
constexpr uint64_t kCoffSize = 20;
constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint16_t kOptionalMagicPe32 = 0x10b;
constexpr uint16_t kOptionalMagicPe32Plus = 0x20b;
constexpr uint16_t kCharacteristicDll = 0x2000;
constexpr uint32_t kExportDirectory = 0;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kResourceSubdirectory = 0x80000000u;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;
constexpr uint64_t kFixedFileInfoSize = 52;

struct Bytes {
    const std::string& data;

    bool Has(uint64_t offset, uint64_t size) const {
        return offset <= data.size() && size <= data.size() - offset;
    }
    bool U16(uint64_t offset, uint16_t* value) const {
        if (!Has(offset, 2)) {
            return false;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(data.data()) + offset;
        *value = static_cast<uint16_t>(p[0] | p[1] << 8);
        return true;
    }
    bool U32(uint64_t offset, uint32_t* value) const {
        if (!Has(offset, 4)) {
            return false;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(data.data()) + offset;
        *value = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                 static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
        return true;
    }
};

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
};

struct Layout {
    const Bytes& bytes;
    std::vector<Section> sections;

    // The file offset of an address of the loaded image, and how many bytes
    // of the file from there belong to the same section.
    bool Map(uint32_t rva, uint64_t* offset, uint64_t* available) const {
        for (const Section& section : sections) {
            uint64_t start = section.virtualAddress;
            uint64_t length = section.rawSize;
            if (rva < start || rva - start >= length) {
                continue;
            }
            uint64_t at = static_cast<uint64_t>(section.rawOffset) + (rva - start);
            if (at >= bytes.data.size()) {
                return false;
            }
            uint64_t inSection = length - (rva - start);
            uint64_t inFile = bytes.data.size() - at;
            *offset = at;
            *available = inSection < inFile ? inSection : inFile;
            return true;
        }
        return false;
    }

    bool Text(uint32_t rva, std::string* text) const {
        uint64_t offset = 0;
        uint64_t available = 0;
        if (!Map(rva, &offset, &available)) {
            return false;
        }
        const char* start = bytes.data.data() + offset;
        uint64_t limit = available < kMaxExportNameLength ? available : kMaxExportNameLength;
        const void* end = memchr(start, '\0', static_cast<size_t>(limit));
        size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - start)
                                       : static_cast<size_t>(limit);
        text->assign(start, length);
        return true;
    }
};

void ReadExports(const Layout& layout, uint32_t directoryRva, PeImage* image) {
    uint64_t directory = 0;
    uint64_t available = 0;
    uint32_t count = 0;
    uint32_t namesRva = 0;
    if (directoryRva == 0 || !layout.Map(directoryRva, &directory, &available) || available < 40 ||
        !layout.bytes.U32(directory + 24, &count) || !layout.bytes.U32(directory + 32, &namesRva)) {
        return;
    }
    uint64_t names = 0;
    if (count == 0 || !layout.Map(namesRva, &names, &available)) {
        return;
    }
    uint64_t fit = available / 4;
    uint64_t limit = count < fit ? count : fit;
    if (limit > kMaxExportNames) {
        limit = kMaxExportNames;
    }
    for (uint64_t i = 0; i < limit; ++i) {
        uint32_t nameRva = 0;
        std::string name;
        if (layout.bytes.U32(names + 4 * i, &nameRva) && layout.Text(nameRva, &name)) {
            image->exports.push_back(name);
        }
    }
}

// The entry of a resource directory (at offset, within the resource data that
// starts at root) with the given id, or the first one when anyId.
bool FindResourceEntry(const Bytes& bytes, uint64_t root, uint64_t directory, uint32_t id,
                       bool anyId, uint32_t* target) {
    uint16_t named = 0;
    uint16_t numbered = 0;
    if (!bytes.U16(directory + 12, &named) || !bytes.U16(directory + 14, &numbered)) {
        return false;
    }
    uint32_t entries = static_cast<uint32_t>(named) + numbered;
    for (uint32_t i = 0; i < entries; ++i) {
        uint64_t entry = directory + 16 + 8 * static_cast<uint64_t>(i);
        uint32_t name = 0;
        uint32_t data = 0;
        if (!bytes.U32(entry, &name) || !bytes.U32(entry + 4, &data)) {
            return false;
        }
        if (anyId || (i >= named && name == id)) {
            *target = data;
            return root + (data & ~kResourceSubdirectory) < bytes.data.size();
        }
    }
    return false;
}

void ReadVersion(const Layout& layout, uint32_t directoryRva, PeImage* image) {
    const Bytes& bytes = layout.bytes;
    uint64_t root = 0;
    uint64_t available = 0;
    if (directoryRva == 0 || !layout.Map(directoryRva, &root, &available)) {
        return;
    }
    // Type, then name, then language: the first two lead to directories, the
    // last to the data entry.
    uint32_t type = 0;
    uint32_t name = 0;
    uint32_t language = 0;
    if (!FindResourceEntry(bytes, root, root, kResourceTypeVersion, false, &type) ||
        (type & kResourceSubdirectory) == 0 ||
        !FindResourceEntry(bytes, root, root + (type & ~kResourceSubdirectory), 0, true, &name) ||
        (name & kResourceSubdirectory) == 0 ||
        !FindResourceEntry(bytes, root, root + (name & ~kResourceSubdirectory), 0, true,
                           &language) ||
        (language & kResourceSubdirectory) != 0) {
        return;
    }
    uint32_t dataRva = 0;
    uint32_t dataSize = 0;
    uint64_t data = 0;
    if (!bytes.U32(root + language, &dataRva) || !bytes.U32(root + language + 4, &dataSize) ||
        !layout.Map(dataRva, &data, &available)) {
        return;
    }
    uint64_t size = dataSize < available ? dataSize : available;
    // VS_VERSIONINFO: three WORDs, the key "VS_VERSION_INFO" in UTF-16 with
    // its NUL, padding to a DWORD boundary, then VS_FIXEDFILEINFO.
    const char kKey[] = "VS_VERSION_INFO";
    uint16_t valueLength = 0;
    if (!bytes.U16(data + 2, &valueLength) || valueLength < kFixedFileInfoSize) {
        return;
    }
    uint64_t keyOffset = 6;
    for (size_t i = 0; i < sizeof(kKey); ++i) {
        uint16_t unit = 0;
        if (keyOffset + 2 > size || !bytes.U16(data + keyOffset, &unit) ||
            unit != static_cast<unsigned char>(kKey[i])) {
            return;
        }
        keyOffset += 2;
    }
    uint64_t fixed = (keyOffset + 3) & ~static_cast<uint64_t>(3);
    uint32_t signature = 0;
    uint32_t mostSignificant = 0;
    uint32_t leastSignificant = 0;
    if (fixed + kFixedFileInfoSize > size || !bytes.U32(data + fixed, &signature) ||
        signature != kFixedFileInfoSignature || !bytes.U32(data + fixed + 8, &mostSignificant) ||
        !bytes.U32(data + fixed + 12, &leastSignificant)) {
        return;
    }
    image->hasVersion = true;
    image->fileVersion[0] = static_cast<uint16_t>(mostSignificant >> 16);
    image->fileVersion[1] = static_cast<uint16_t>(mostSignificant & 0xFFFF);
    image->fileVersion[2] = static_cast<uint16_t>(leastSignificant >> 16);
    image->fileVersion[3] = static_cast<uint16_t>(leastSignificant & 0xFFFF);
}

}  // namespace

bool ReadPeImage(const std::string& data, PeImage* image, std::string* error) {
    *image = PeImage();
    Bytes bytes{data};
    uint32_t peOffset = 0;
    if (!bytes.Has(0, 2) || data[0] != 'M' || data[1] != 'Z' || !bytes.U32(kDosLfanew, &peOffset)) {
        *error = "not a PE file (no MZ header)";
        return false;
    }
    uint64_t coff = static_cast<uint64_t>(peOffset) + 4;
    if (!bytes.Has(peOffset, 4) || memcmp(data.data() + peOffset, "PE\0\0", 4) != 0) {
        *error = "not a PE file (no PE signature)";
        return false;
    }
    uint16_t sectionCount = 0;
    uint16_t optionalSize = 0;
    uint16_t characteristics = 0;
    uint16_t magic = 0;
    if (!bytes.Has(coff, kCoffSize) || !bytes.U16(coff, &image->machine) ||
        !bytes.U16(coff + 2, &sectionCount) || !bytes.U16(coff + 16, &optionalSize) ||
        !bytes.U16(coff + 18, &characteristics) || !bytes.U16(coff + kCoffSize, &magic)) {
        *error = "a PE file cut short in its headers";
        return false;
    }
    image->isDll = (characteristics & kCharacteristicDll) != 0;
    uint64_t optional = coff + kCoffSize;
    uint64_t directories = 0;
    uint64_t countOffset = 0;
    if (magic == kOptionalMagicPe32) {
        countOffset = optional + 92;
        directories = optional + 96;
    } else if (magic == kOptionalMagicPe32Plus) {
        countOffset = optional + 108;
        directories = optional + 112;
    } else {
        *error = "a PE file of an unknown optional-header kind";
        return false;
    }
    uint32_t directoryCount = 0;
    if (!bytes.U32(countOffset, &directoryCount)) {
        *error = "a PE file cut short in its headers";
        return false;
    }
    Layout layout{bytes, {}};
    uint64_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        uint64_t header = table + kSectionHeaderSize * i;
        Section section{};
        if (!bytes.U32(header + 8, &section.virtualSize) ||
            !bytes.U32(header + 12, &section.virtualAddress) ||
            !bytes.U32(header + 16, &section.rawSize) ||
            !bytes.U32(header + 20, &section.rawOffset)) {
            *error = "a PE file cut short in its section table";
            return false;
        }
        layout.sections.push_back(section);
    }
    // A directory beyond the optional header's own count is absent.
    auto directory = [&](uint32_t index) {
        uint32_t rva = 0;
        uint64_t offset = directories + 8 * static_cast<uint64_t>(index);
        if (index >= directoryCount || offset + 8 > table || !bytes.U32(offset, &rva)) {
            return 0u;
        }
        return rva;
    };
    ReadExports(layout, directory(kExportDirectory), image);
    ReadVersion(layout, directory(kResourceDirectory), image);
    return true;
}

bool ExportsName(const PeImage& image, const char* name) {
    for (const std::string& exported : image.exports) {
        if (exported == name) {
            return true;
        }
    }
    return false;
}

}  // namespace zk::pkgcheck
