// The package checker's INF reader must give what SetupAPI gives on the same
// file, or the host build of zkpkgcheck would judge another INF than the
// device installer reads. Compared here, field by field, against the real
// functions on every INF of the fixtures, and on texts that no file in the
// tree should hold (UTF-16, NUL bytes, syntax errors).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win_handles.h"
#include "inf_reader.h"
#include "inf_setupapi.h"
#include "pkg_check.h"
#include "test_support.h"

namespace {

using zk::pkgcheck::FindInfLine;
using zk::pkgcheck::InfError;
using zk::pkgcheck::InfFile;
using zk::pkgcheck::InfLine;
using zk::pkgcheck::InfLineText;
using zk::pkgcheck::InfReadResult;
using zk::pkgcheck::InfSection;
using zk::pkgcheck::ReadInf;
using zk::pkgcheck::ReadInfField;

std::string PlatformLineText(INFCONTEXT* context) {
    DWORD needed = 0;
    if (!SetupGetLineTextA(context, nullptr, nullptr, nullptr, nullptr, 0, &needed) ||
        needed == 0) {
        return "(no text)";
    }
    std::vector<char> buffer(needed);
    if (!SetupGetLineTextA(context, nullptr, nullptr, nullptr, buffer.data(), needed, &needed)) {
        return "(no text)";
    }
    return buffer.data();
}

std::vector<std::string> PlatformSections(HINF inf) {
    std::vector<std::string> names;
    for (UINT index = 0;; ++index) {
        UINT needed = 0;
        if (!SetupEnumInfSectionsA(inf, index, nullptr, 0, &needed) || needed == 0) {
            break;
        }
        std::vector<char> buffer(needed);
        if (!SetupEnumInfSectionsA(inf, index, buffer.data(), needed, &needed)) {
            break;
        }
        names.emplace_back(buffer.data());
    }
    return names;
}

// Both readers on the file at path: the same refusal, or the same sections,
// lines, keys, fields, line texts, and the same line for each key looked up.
void CompareReaders(const std::string& path) {
    SCOPED_TRACE(path);
    InfFile ours;
    InfReadResult result = ReadInf(zktest::ReadFileBytes(path), &ours);
    UINT errorLine = 0;
    zk::UniqueInf inf(SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine));
    if (!inf) {
        EXPECT_NE(InfError::None, result.error) << "SetupAPI refuses the file";
        if (result.line > 0) {
            EXPECT_EQ(static_cast<UINT>(result.line), errorLine);
        }
        return;
    }
    ASSERT_EQ(InfError::None, result.error)
        << "SetupAPI reads the file; ours refuses it at line " << result.line;

    std::vector<std::string> names = PlatformSections(inf.Get());
    EXPECT_EQ(ours.sections.size(), names.size());
    for (const std::string& name : names) {
        EXPECT_NE(nullptr, zk::pkgcheck::FindInfSection(ours, name)) << "[" << name << "]";
    }
    for (const InfSection& section : ours.sections) {
        SCOPED_TRACE("[" + section.name + "]");
        LONG count = SetupGetLineCountA(inf.Get(), section.name.c_str());
        ASSERT_EQ(static_cast<LONG>(section.lines.size()), count);
        for (size_t i = 0; i < section.lines.size(); ++i) {
            const InfLine& line = section.lines[i];
            SCOPED_TRACE("line " + std::to_string(line.line));
            INFCONTEXT context;
            ASSERT_TRUE(SetupGetLineByIndexA(inf.Get(), section.name.c_str(), static_cast<DWORD>(i),
                                             &context));
            std::string key;
            EXPECT_EQ(line.hasKey, ReadInfField(&context, 0, &key));
            if (line.hasKey) {
                EXPECT_EQ(line.key, key);
            }
            ASSERT_EQ(line.fields.size(), SetupGetFieldCount(&context));
            for (size_t f = 0; f < line.fields.size(); ++f) {
                std::string field;
                EXPECT_TRUE(ReadInfField(&context, static_cast<DWORD>(f + 1), &field));
                EXPECT_EQ(line.fields[f], field) << "field " << f + 1;
            }
            EXPECT_EQ(InfLineText(line), PlatformLineText(&context));
            if (line.hasKey && !line.key.empty()) {
                INFCONTEXT found;
                ASSERT_TRUE(
                    SetupFindFirstLineA(inf.Get(), section.name.c_str(), line.key.c_str(), &found));
                EXPECT_EQ(FindInfLine(section, line.key) - section.lines.data(),
                          static_cast<ptrdiff_t>(found.Line));
            }
        }
    }
}

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA data;
    zk::UniqueFindHandle find(FindFirstFileA((folder + "\\" + pattern).c_str(), &data));
    if (!find) {
        return files;
    }
    do {
        files.push_back(folder + "\\" + data.cFileName);
    } while (FindNextFileA(find.Get(), &data));
    return files;
}

// Every INF of the fixtures: the broken packages, the reader's syntax file
// and the example package.
std::vector<std::string> FixtureInfs() {
    std::string fixtures = zktest::TestsDirectory() + "\\fixtures\\pkgcheck";
    std::vector<std::string> infs = FilesIn(fixtures + "\\reader", "*.inf");
    WIN32_FIND_DATAA data;
    zk::UniqueFindHandle find(FindFirstFileA((fixtures + "\\packages\\*").c_str(), &data));
    if (find) {
        do {
            if (data.cFileName[0] != '.') {
                std::vector<std::string> more =
                    FilesIn(fixtures + "\\packages\\" + data.cFileName, "*.inf");
                infs.insert(infs.end(), more.begin(), more.end());
            }
        } while (FindNextFileA(find.Get(), &data));
    }
    infs.push_back(zktest::TestsDirectory() + "\\..\\examples\\camera\\zkcamera.inf");
    return infs;
}

TEST(InfReaderAgainstSetupApi, EveryFixtureInfReadsTheSame) {
    std::vector<std::string> infs = FixtureInfs();
    EXPECT_GE(infs.size(), 16u);
    for (const std::string& path : infs) {
        CompareReaders(path);
    }
}

TEST(InfReaderAgainstSetupApi, TextsOutsideTheFixturesReadTheSame) {
    const std::string kVersion = "[Version]\r\nSignature=\"$Chicago$\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : kVersion + "[A]\r\nk=v\xE9, w\r\nsecond = x\r\n") {
        utf16 += c;
        utf16 += '\0';
    }
    const std::string cases[] = {
        utf16,
        "\xEF\xBB\xBF" + kVersion + "[A]\r\nk=v\r\n",
        kVersion + "[A]\nk=v\rk2=w\n\nk3=\x1Ax\nk4=y\n",
        kVersion + "[A]\r\nk1=" + std::string(600, 'x') + "\r\nk2=\"" + std::string(600, 'z') +
            "\"\r\n" + std::string(600, 'k') + "=v\r\n",
        kVersion + "[A]\r\nk=%L%%L%%L%%L%%L%%L%%L%%L%%L%%L%\r\n[Strings]\r\nL=" +
            std::string(511, 'L') + "\r\n",
        kVersion + "[" + std::string(255, 'S') + "]\r\nk=v\r\n",
        kVersion + "[A]\r\nk\x0b=\x0cv\xA0\r\n[B]\r\n\\\r\n\r\nk5=z\r\n",
        kVersion + "[a]b]\r\nq=1\r\n[]\r\nr=2\r\n",
        // Refused by both.
        "stray\r\n" + kVersion,
        kVersion + "[A]\r\nk=v\r\n[Open\r\n",
        kVersion + "[" + std::string(256, 'S') + "]\r\n",
        "[A]\r\nk=v\r\n",
        "[Version]\r\nSignature=\"$Other$\"\r\n",
        kVersion + std::string("[A]\r\nk=v\0w\r\n", 12),
    };
    zktest::ScratchDirectory scratch("pkgcheck_reader");
    int index = 0;
    for (const std::string& text : cases) {
        std::string path = scratch.File(("case" + std::to_string(index++) + ".inf").c_str());
        zktest::WriteFileBytes(path, text);
        CompareReaders(path);
    }
}

// The install section the checker picks for the processor the tests run on
// is the one SetupAPI picks there.
TEST(InfReaderAgainstSetupApi, InstallSectionsArePickedAsOnThisProcessor) {
    const zk::pkgcheck::Architecture kHere =
        sizeof(void*) == 8 ? zk::pkgcheck::Architecture::Amd64 : zk::pkgcheck::Architecture::X86;
    const std::string kVersion = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";
    const char* const cases[] = {
        "[Cam.NTx86]\r\n[Cam.NTamd64]\r\n[Cam.NT]\r\n[Cam]\r\n",
        "[Cam.NT]\r\n[Cam]\r\n[Cam.NTamd64]\r\n",
        "[Cam]\r\n[Cam.NTamd64]\r\n",
        "[cam.ntx86]\r\n[Cam.NT]\r\n",
        "[Cam.ntamd64]\r\n[Cam]\r\n",
    };
    zktest::ScratchDirectory scratch("pkgcheck_sections");
    int index = 0;
    for (const char* sections : cases) {
        std::string text = kVersion + sections;
        std::string path = scratch.File(("case" + std::to_string(index++) + ".inf").c_str());
        zktest::WriteFileBytes(path, text);
        InfFile ours;
        ASSERT_EQ(InfError::None, ReadInf(text, &ours).error);
        zk::UniqueInf inf(SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr));
        ASSERT_TRUE(inf) << sections;
        char actual[LINE_LEN];
        ASSERT_TRUE(SetupDiGetActualSectionToInstallA(inf.Get(), "Cam", actual, sizeof(actual),
                                                      nullptr, nullptr));
        EXPECT_STRCASEEQ(actual, zk::pkgcheck::ResolveInstallSection(ours, "Cam", kHere).c_str())
            << sections;
    }
}

}  // namespace
