#include "core/path_template_core.h"

#include "common/bounded_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const char kCommonFiles[] = "C:\\Program Files\\Common Files";
const char kDesktop[] = "C:\\Users\\me\\Desktop";

// A machine made of maps, with an allocator that knows every block it handed
// out, so ownership mistakes show as leaks, double frees or foreign frees.
struct FakeMachine {
    std::set<void*> live;
    int allocationsLeft = -1;  // -1: never fails
    std::map<std::string, uint32_t> attributes;
    std::map<int, std::string> folders = {{43, kCommonFiles}, {0, kDesktop}};
    std::string lastProbe;
    int badFrees = 0;
};
FakeMachine* machine = nullptr;

void* FakeAlloc(uint32_t size) {
    if (machine->allocationsLeft == 0) {
        return nullptr;
    }
    if (machine->allocationsLeft > 0) {
        --machine->allocationsLeft;
    }
    void* block = malloc(size == 0 ? 1 : size);
    memset(block, 0xCD, size);  // not cleared, like the real allocator
    machine->live.insert(block);
    return block;
}

void FakeFree(void* block) {
    if (block == nullptr) {
        return;
    }
    if (machine->live.erase(block) == 0) {
        ++machine->badFrees;
        return;
    }
    free(block);
}

uint32_t FakeAttributes(const char* path) {
    machine->lastProbe = path;
    auto found = machine->attributes.find(path);
    return found == machine->attributes.end() ? kNoFileAttributes : found->second;
}

bool FakeFolder(int csidl, char* path) {
    auto found = machine->folders.find(csidl);
    if (found == machine->folders.end()) {
        return false;
    }
    return zk::CopyText(path, kTemplatePathCapacity, found->second.c_str());
}

const PathTemplatePlatform kFake = {FakeAlloc, FakeFree, FakeAttributes, FakeFolder};

class PathTemplate : public testing::Test {
protected:
    void SetUp() override { machine = &fake; }
    void TearDown() override {
        EXPECT_EQ(0, fake.badFrees);
        for (void* block : fake.live) {
            free(block);
        }
        machine = nullptr;
    }

    char* Template(const std::string& text) {
        char* block = static_cast<char*>(FakeAlloc(static_cast<uint32_t>(text.size() + 1)));
        memcpy(block, text.c_str(), text.size() + 1);
        return block;
    }

    // Expands text; returns the result (or "<null>") and checks that exactly
    // the returned block, if any, is still outstanding.
    std::string Expand(const std::string& text) {
        char* result = ExpandPathTemplateWith(kFake, Template(text));
        if (result == nullptr) {
            EXPECT_TRUE(fake.live.empty()) << text;
            return "<null>";
        }
        EXPECT_EQ(1u, fake.live.size()) << text;
        EXPECT_EQ(1u, fake.live.count(result)) << text;
        std::string expanded = result;
        FakeFree(result);
        return expanded;
    }

    FakeMachine fake;
};

TEST_F(PathTemplate, ExpandsTheExampleTable) {
    fake.attributes[std::string(kCommonFiles) + "\\Marvshrd"] = kDirectoryAttribute;
    const std::string common = kCommonFiles;
    struct Row {
        const char* in;
        std::string out;
    } rows[] = {
        {"%43%\\%L%", common + "\\Marvshrd"},
        {"%43%\\%l%", common + "\\Marvshrd"},
        {"%43%\\%L%\\Tools", common + "\\Marvshrd\\Tools"},
        {"%43%", common},
        {"-x %43%\\a.txt", "-x " + common + "\\a.txt"},
        {"x%43%", "x" + common},
        {"C:\\Tools", "C:\\Tools"},
        {"%43%\\b%", common + "\\b"},
        {"%43%%L%", common + "L"},
        {"%%%43%%%\\c", common + "\\c"},
        {"%abc%", kDesktop},
        {"% 43%", common},
        {"%+43x%", common},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.out, Expand(row.in)) << row.in;
    }
}

TEST_F(PathTemplate, TemplateWithoutTokensIsReturnedUnchanged) {
    for (const char* text : {"", "%", "%%", "%%%%"}) {
        char* block = Template(text);
        char* result = ExpandPathTemplateWith(kFake, block);
        EXPECT_EQ(block, result) << text;
        EXPECT_STREQ(text, result);
        FakeFree(result);
    }
    EXPECT_EQ(nullptr, ExpandPathTemplateWith(kFake, nullptr));
}

TEST_F(PathTemplate, LiteralOnlyTemplateGivesAFreshCopy) {
    char* block = Template("C:\\Tools");
    char* result = ExpandPathTemplateWith(kFake, block);
    ASSERT_NE(nullptr, result);
    EXPECT_STREQ("C:\\Tools", result);
    EXPECT_EQ(0u, fake.live.count(block));  // the template was freed
    FakeFree(result);
}

TEST_F(PathTemplate, MakerFolderProbesSharedFolderFirstThenPlainMakerFolder) {
    const std::string shared = std::string(kCommonFiles) + "\\Marvshrd";
    const std::string maker = std::string(kCommonFiles) + "\\Marvanto";
    struct Case {
        const char* name;
        uint32_t sharedAttributes;
        uint32_t makerAttributes;
        const char* folder;  // null: expansion fails
    } cases[] = {
        {"shared directory wins", kDirectoryAttribute, kDirectoryAttribute, "Marvshrd"},
        {"shared read-only directory still counts", 0x11, kNoFileAttributes, "Marvshrd"},
        {"maker plain directory", kNoFileAttributes, kDirectoryAttribute, "Marvanto"},
        {"shared is a file", 0x20, kDirectoryAttribute, "Marvanto"},
        {"maker read-only directory", kNoFileAttributes, 0x11, nullptr},
        {"maker archive directory", kNoFileAttributes, 0x30, nullptr},
        {"maker is a file", kNoFileAttributes, 0x80, nullptr},
        {"neither present", kNoFileAttributes, kNoFileAttributes, nullptr},
    };
    for (const Case& c : cases) {
        fake.attributes.clear();
        if (c.sharedAttributes != kNoFileAttributes) {
            fake.attributes[shared] = c.sharedAttributes;
        }
        if (c.makerAttributes != kNoFileAttributes) {
            fake.attributes[maker] = c.makerAttributes;
        }
        std::string expected =
            c.folder == nullptr ? "<null>" : std::string(kCommonFiles) + "\\" + c.folder + "\\x";
        EXPECT_EQ(expected, Expand("%43%\\%L%\\x")) << c.name;
    }
}

TEST_F(PathTemplate, UnresolvableVariablesFailAndFreeEverything) {
    // A directory at the bare name must not make a leading %L% succeed: it
    // would name a folder relative to whatever the current directory is.
    fake.attributes["Marvshrd"] = kDirectoryAttribute;
    fake.attributes["Marvanto"] = kDirectoryAttribute;
    for (const char* text :
         {"%10%", "a%10%b", "%43%\\%10%", "%L%", "%L%\\x", "%99999999999%", "%-1%"}) {
        EXPECT_EQ("<null>", Expand(text)) << text;
    }
}

TEST_F(PathTemplate, MakerFolderIsProbedUnderAllTheTextBuiltSoFar) {
    // Literal text before the shell folder is part of the probe path, so an
    // argument in front of the folder makes the maker folder unresolvable.
    fake.attributes[std::string(kCommonFiles) + "\\Marvshrd"] = kDirectoryAttribute;
    EXPECT_EQ("<null>", Expand("-x %43%\\%L%"));
    EXPECT_EQ("-x " + std::string(kCommonFiles) + "\\Marvanto", fake.lastProbe);
}

// A Parameters value that quotes its path keeps the quote in the result, but
// the folder on disk has no quote in its name; only a quote that opens the
// text counts, since one further on means the text is not a folder at all.
TEST_F(PathTemplate, QuoteThatOpensTheTextIsNotPartOfTheProbedFolder) {
    const std::string common = kCommonFiles;
    fake.attributes[common + "\\Marvshrd"] = kDirectoryAttribute;
    struct Case {
        const char* in;
        std::string out;
        std::string probe;
    } cases[] = {
        {"\"%43%\\%L%\\Tools\\q.ini\"", "\"" + common + "\\Marvshrd\\Tools\\q.ini\"",
         common + "\\Marvshrd"},
        {"\"%43%\\%L%", "\"" + common + "\\Marvshrd", common + "\\Marvshrd"},
        {"-x \"%43%\\%L%\"", "<null>", "-x \"" + common + "\\Marvanto"},
        {"\"\"%43%\\%L%", "<null>", "\"" + common + "\\Marvanto"},
        // Only the quote built so far: nothing to probe under.
        {"\"%L%", "<null>", ""},
    };
    for (const Case& c : cases) {
        fake.lastProbe.clear();
        EXPECT_EQ(c.out, Expand(c.in)) << c.in;
        EXPECT_EQ(c.probe, fake.lastProbe) << c.in;
    }
}

TEST_F(PathTemplate, MakerProbePathThatDoesNotFitFailsWithoutProbing) {
    // 252 characters of prefix plus "Marvshrd" needs 261 bytes: one too many.
    std::string prefix(251, 'p');
    prefix += "\\";
    fake.attributes[prefix + "Marvshrd"] = kDirectoryAttribute;
    EXPECT_EQ("<null>", Expand(prefix + "%L%"));
    EXPECT_EQ("", fake.lastProbe);

    // One character shorter fits exactly.
    std::string shorter = prefix.substr(1);
    fake.attributes[shorter + "Marvshrd"] = kDirectoryAttribute;
    EXPECT_EQ(shorter + "Marvshrd", Expand(shorter + "%L%"));
}

TEST_F(PathTemplate, AllocationFailureAtAnyStepFreesBothBuffers) {
    fake.attributes[std::string(kCommonFiles) + "\\Marvshrd"] = kDirectoryAttribute;
    // The template takes one allocation; then each append that grows does.
    for (int allowed = 0; allowed < 4; ++allowed) {
        char* block = Template("%43%\\%L%\\Tools");
        fake.allocationsLeft = allowed;
        EXPECT_EQ(nullptr, ExpandPathTemplateWith(kFake, block)) << allowed;
        EXPECT_TRUE(fake.live.empty()) << allowed;
        fake.allocationsLeft = -1;
    }
}

TEST_F(PathTemplate, AppendGrowsToExactlyTheNeededSize) {
    uint32_t capacity = 0;
    char* buffer = AppendToBufferWith(kFake, nullptr, &capacity, "abc");
    ASSERT_NE(nullptr, buffer);
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(4u, capacity);

    char* grown = AppendToBufferWith(kFake, buffer, &capacity, "de");
    ASSERT_NE(nullptr, grown);
    EXPECT_STREQ("abcde", grown);
    EXPECT_EQ(6u, capacity);
    EXPECT_EQ(1u, fake.live.size());  // the old buffer was freed

    // Appending nothing fits in place.
    EXPECT_EQ(grown, AppendToBufferWith(kFake, grown, &capacity, ""));
    EXPECT_EQ(6u, capacity);

    // Room left over from a larger capacity is used without reallocating.
    grown[2] = '\0';
    EXPECT_EQ(grown, AppendToBufferWith(kFake, grown, &capacity, "xyz"));
    EXPECT_STREQ("abxyz", grown);
    FakeFree(grown);
}

TEST_F(PathTemplate, AppendThatCannotGrowLeavesTheBufferWithTheCaller) {
    uint32_t capacity = 0;
    fake.allocationsLeft = 0;
    EXPECT_EQ(nullptr, AppendToBufferWith(kFake, nullptr, &capacity, "abc"));
    EXPECT_EQ(0u, capacity);

    fake.allocationsLeft = 1;
    char* buffer = AppendToBufferWith(kFake, nullptr, &capacity, "abc");
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(nullptr, AppendToBufferWith(kFake, buffer, &capacity, "more"));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(4u, capacity);
    FakeFree(buffer);
}

TEST(TemplateTokens, SplitOnRunsOfPercentLikeStrtok) {
    struct Case {
        const char* text;
        std::vector<std::string> tokens;
    } cases[] = {
        {"", {}},
        {"%%%", {}},
        {"abc", {"abc"}},
        {"%43%\\%L%", {"43", "\\", "L"}},
        {"%%a%%%b%", {"a", "b"}},
        {"a%b%c", {"a", "b", "c"}},
    };
    for (const Case& c : cases) {
        std::string copy = c.text;
        char* context = nullptr;
        std::vector<std::string> tokens;
        for (char* t = NextTemplateToken(&copy[0], &context); t != nullptr;
             t = NextTemplateToken(nullptr, &context)) {
            tokens.push_back(t);
        }
        EXPECT_EQ(c.tokens, tokens) << c.text;
        // Asking again past the end keeps answering none.
        EXPECT_EQ(nullptr, NextTemplateToken(nullptr, &context));
    }
}

TEST(TemplateTokens, CsidlReadsLikeAtoiAndOnlyLIsTheMakerFolder) {
    struct Case {
        const char* token;
        int csidl;
    } cases[] = {{"43", 43},
                 {"  7x", 7},
                 {"-3", -3},
                 {"+5", 5},
                 {"abc", 0},
                 {"", 0},
                 {"99999999999", 2147483647},
                 {"-99999999999", -2147483647 - 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.csidl, CsidlFromToken(c.token)) << c.token;
    }
    EXPECT_TRUE(IsMakerFolderToken("L"));
    EXPECT_TRUE(IsMakerFolderToken("l"));
    EXPECT_FALSE(IsMakerFolderToken("LL"));
    EXPECT_FALSE(IsMakerFolderToken(" L"));
    EXPECT_FALSE(IsMakerFolderToken(""));
}

}  // namespace
