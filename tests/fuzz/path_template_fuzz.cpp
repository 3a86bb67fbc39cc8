// Path template expansion over a fake machine. Input: a settings byte (which
// maker folders exist, after how many allocations memory runs out), a byte for
// the lengths of shell folders, then the template (the rest, up to a NUL).
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "core/path_template_core.h"

namespace {

struct FakeMachine {
    std::map<void*, uint32_t> live;  // block and its size
    int allocationsLeft = -1;        // -1: never fails
    bool sharedFolderExists = false;
    uint32_t makerFolderAttributes = kNoFileAttributes;
    uint8_t folderLengthSeed = 0;
};
FakeMachine* machine = nullptr;

void* FakeAlloc(uint32_t size) {
    if (machine->allocationsLeft == 0) {
        return nullptr;
    }
    if (machine->allocationsLeft > 0) {
        --machine->allocationsLeft;
    }
    void* block = malloc(size);
    FUZZ_CHECK(block != nullptr);
    memset(block, 0xCD, size);  // not cleared, like the real allocator
    machine->live[block] = size;
    return block;
}

void FakeFree(void* block) {
    if (block == nullptr) {
        return;
    }
    // A block we never handed out, or one freed twice.
    FUZZ_CHECK(machine->live.erase(block) == 1);
    free(block);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

uint32_t FakeAttributes(const char* path) {
    std::string probe = path;
    FUZZ_CHECK(probe.size() < kTemplatePathCapacity);
    // No folder on disk has a double quote in its name.
    if (probe.find('"') != std::string::npos) {
        return kNoFileAttributes;
    }
    if (EndsWith(probe, "Marvshrd")) {
        return machine->sharedFolderExists ? kDirectoryAttribute : kNoFileAttributes;
    }
    FUZZ_CHECK(EndsWith(probe, "Marvanto"));
    return machine->makerFolderAttributes;
}

// Some numbers name no folder; the others name one whose length runs up to
// the most the shell writes.
std::string FolderOf(int csidl) {
    unsigned number = static_cast<unsigned>(csidl);
    if (number % 5 == 4) {
        return std::string();
    }
    size_t length = (number * 37u + machine->folderLengthSeed) % (kTemplatePathCapacity - 3);
    return "C:\\" + std::string(length, static_cast<char>('a' + number % 26));
}

bool FakeFolder(int csidl, char* path) {
    std::string folder = FolderOf(csidl);
    if (folder.empty()) {
        return false;
    }
    memcpy(path, folder.c_str(), folder.size() + 1);
    return true;
}

const PathTemplatePlatform kFake = {FakeAlloc, FakeFree, FakeAttributes, FakeFolder};

// The leading number of a token as atoi reads it, kept within int.
int LeadingNumber(const std::string& token) {
    errno = 0;
    long long number = strtoll(token.c_str(), nullptr, 10);
    if (number > INT_MAX) {
        return INT_MAX;
    }
    if (number < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(number);
}

// The tokens of a template: runs of "%" separate, none is empty.
std::vector<std::string> TokensOf(const std::string& text) {
    std::vector<std::string> tokens;
    size_t at = 0;
    while (at < text.size()) {
        size_t start = text.find_first_not_of('%', at);
        if (start == std::string::npos) {
            break;
        }
        size_t end = text.find('%', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        tokens.push_back(text.substr(start, end - start));
        at = end;
    }
    return tokens;
}

// What the expansion must give; false when it must fail for want of a value.
bool ExpectedExpansion(const std::string& text, std::string* expansion) {
    bool variable = !text.empty() && text[0] == '%';
    std::string built;
    for (const std::string& token : TokensOf(text)) {
        if (!variable) {
            built += token;
        } else if (token == "L" || token == "l") {
            // A double quote that opens the text is no part of the folder probed.
            size_t quote = !built.empty() && built[0] == '"' ? 1 : 0;
            size_t folderLength = built.size() - quote;
            if (folderLength == 0 || folderLength + sizeof("Marvshrd") > kTemplatePathCapacity ||
                built.find('"', quote) != std::string::npos) {
                return false;
            }
            if (machine->sharedFolderExists) {
                built += "Marvshrd";
            } else if (machine->makerFolderAttributes == kDirectoryAttribute) {
                built += "Marvanto";
            } else {
                return false;
            }
        } else {
            std::string folder = FolderOf(LeadingNumber(token));
            if (folder.empty()) {
                return false;
            }
            built += folder;
        }
        variable = !variable;
    }
    *expansion = built;
    return true;
}

void CheckTokeniser(const std::string& text) {
    fuzz::Block block = fuzz::Terminated(text);
    char* context = nullptr;
    std::vector<std::string> tokens;
    for (char* token = NextTemplateToken(block.bytes, &context); token != nullptr;
         token = NextTemplateToken(nullptr, &context)) {
        FUZZ_CHECK(token >= block.bytes && token < block.bytes + block.size);
        tokens.push_back(token);
    }
    // A further call after the end still answers none.
    FUZZ_CHECK(NextTemplateToken(nullptr, &context) == nullptr);
    FUZZ_CHECK(tokens == TokensOf(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    FakeMachine fake;
    fake.sharedFolderExists = (settings & 1) != 0;
    fake.makerFolderAttributes = (settings & 2) == 0   ? kNoFileAttributes
                                 : (settings & 4) == 0 ? kDirectoryAttribute
                                                       : kDirectoryAttribute | 0x1u;
    fake.allocationsLeft = (settings >> 3) - 1;
    fake.folderLengthSeed = input.Byte();
    std::string text = fuzz::CString(input.Rest());
    machine = &fake;

    CheckTokeniser(text);

    std::string expected;
    bool resolvable = ExpectedExpansion(text, &expected);
    bool hasTokens = !TokensOf(text).empty();

    char* templateBuffer = static_cast<char*>(FakeAlloc(static_cast<uint32_t>(text.size() + 1)));
    if (templateBuffer != nullptr) {
        memcpy(templateBuffer, text.c_str(), text.size() + 1);
        int allocationsBefore = fake.allocationsLeft;
        char* result = ExpandPathTemplateWith(kFake, templateBuffer);
        if (!hasTokens) {
            FUZZ_CHECK(result == templateBuffer);
            FUZZ_CHECK(std::string(result) == text);
        } else if (!resolvable) {
            FUZZ_CHECK(result == nullptr);
        } else if (result == nullptr) {
            // Only running out of memory may fail a resolvable template.
            FUZZ_CHECK(allocationsBefore >= 0 && fake.allocationsLeft == 0);
        } else {
            FUZZ_CHECK(std::string(result) == expected);
            // Grown to exactly the size needed.
            FUZZ_CHECK(fake.live.count(result) == 1);
            FUZZ_CHECK(fake.live[result] == expected.size() + 1);
        }
        FakeFree(result);
    }
    // Both buffers are freed or handed back on every path.
    FUZZ_CHECK(fake.live.empty());
    machine = nullptr;
    return 0;
}
