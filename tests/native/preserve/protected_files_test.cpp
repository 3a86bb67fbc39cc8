#include "preserve/protected_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ProtectedFiles, SixRowsInOrderThenTheEndRow) {
    const char* const names[] = {"zkWIAext.dll", "zksf.dll",    "ZKCodec2.dll",
                                 "ZKUI2.dll",    "ZKUI2RC.dll", "ZKUSBSta.sys"};
    size_t row = 0;
    for (; ProtectedFileTable[row].installedPath != nullptr; ++row) {
        ASSERT_LT(row, 6u);
        EXPECT_STREQ(names[row], ProtectedFileTable[row].fileName);
        EXPECT_STREQ("%43%\\%L%", ProtectedFileTable[row].searchRoot);
        // The install location ends in the file's own name.
        std::string installed = ProtectedFileTable[row].installedPath;
        EXPECT_EQ(std::string("\\") + names[row],
                  installed.substr(installed.size() - strlen(names[row]) - 1));
    }
    EXPECT_EQ(6u, row);
    EXPECT_STREQ("%10%\\system32\\drivers\\ZKUSBSta.sys", ProtectedFileTable[5].installedPath);
}

TEST(ProtectedFiles, InstalledPathTakesTheDirectoryOfItsToken) {
    struct Case {
        const char* installedPath;
        const char* expected;
    };
    const Case cases[] = {
        {"%10%\\TWAIN_32\\Pictavue\\zksf.dll", "C:\\WINDOWS\\TWAIN_32\\Pictavue\\zksf.dll"},
        {"%11%\\ZKCodec2.dll", "C:\\WINDOWS\\system32\\ZKCodec2.dll"},
        // Text in front of the token is dropped; "%10%" is looked for first.
        {"junk%11%\\a.dll", "C:\\WINDOWS\\system32\\a.dll"},
        {"%11%\\x%10%\\b.dll", "C:\\WINDOWS\\b.dll"},
        {"D:\\plain\\c.dll", "D:\\plain\\c.dll"},
        {"%10%", "C:\\WINDOWS"},
        {"%12%\\d.sys", "%12%\\d.sys"},
    };
    for (const Case& c : cases) {
        char out[260] = "x";
        EXPECT_TRUE(ResolveInstalledPath(c.installedPath, "C:\\WINDOWS", "C:\\WINDOWS\\system32",
                                         out, sizeof(out)));
        EXPECT_STREQ(c.expected, out) << c.installedPath;
    }
}

TEST(ProtectedFiles, InstalledPathThatDoesNotFitIsRefusedNotCut) {
    std::string directory(250, 'd');
    char out[260];
    // 250 + "\ZKCodec2.dll" (13) = 263 characters: too long for 260 bytes.
    EXPECT_FALSE(
        ResolveInstalledPath("%11%\\ZKCodec2.dll", "C:\\W", directory.c_str(), out, sizeof(out)));
    EXPECT_STREQ("", out);
    // Exactly 259 characters fit.
    std::string fits(259 - 13, 'd');
    EXPECT_TRUE(
        ResolveInstalledPath("%11%\\ZKCodec2.dll", "C:\\W", fits.c_str(), out, sizeof(out)));
    EXPECT_EQ(259u, strlen(out));
    EXPECT_FALSE(ResolveInstalledPath(std::string(260, 'p').c_str(), "a", "b", out, sizeof(out)));
}

}  // namespace
