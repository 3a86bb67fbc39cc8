// The fault matrix: each row plants one fault in the registry or the file
// system, runs what the co-installer does with it (a whole installation
// through the device installer's DIF sequence, or the rundll32 entry), and
// checks that the installation still answers as it must, that the log says
// what it should, and that every value and file the run may write holds what
// the run meant to leave and nothing else, byte for byte.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fault_scene.h"
#include "launch_fixtures.h"
#include "maker_folders.h"
#include "preserve_fixtures.h"
#include "registry_guard.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using faults::FileGuard;
using faults::Run;
using faults::Scene;
using faults::SystemText;

struct FaultRow {
    const char* name;
    const char* windows;  // the Windows version the row runs on
    std::function<void(Scene&)> plant;
};

std::ostream& operator<<(std::ostream& out, const FaultRow& row) {
    return out << row.name;
}

std::string RowName(const testing::TestParamInfo<FaultRow>& info) {
    return info.param.name;
}

void RunIfThisWindows(const FaultRow& row) {
    if (zktest::TestWindowsVersion() != row.windows) {
        GTEST_SKIP() << "runs on " << row.windows;
    }
    faults::RunRow(row.plant);
}

std::string ImageKey() {
    return dstest::ClassKeyPath(dstest::kImageClass);
}
std::string MediaKey() {
    return dstest::ClassKeyPath(dstest::kMediaClass);
}
std::string VolumeKey() {
    return dstest::ClassKeyPath(dstest::kVolumeClass);
}
std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

// A list of count entries "fNNNNN", with extra spliced in after the half.
std::string LongList(size_t count, const std::string& extra) {
    std::string list;
    char entry[16];
    for (size_t i = 0; i < count; ++i) {
        if (i == count / 2) {
            list += extra;
        }
        (void)snprintf(entry, sizeof(entry), "f%05u", static_cast<unsigned>(i));
        list += entry;
        list += '\0';
    }
    return list + '\0';
}

const char kOrphanRemoved[] = "Filter 'zkmvdrv' is already present.";
const char kNoMonitor[] = "103,NO_ROVudevid\r\n";

// ---------------------------------------------------------------------------
// Class filter lists: the orphan removal edits the Image class's LowerFilters,
// the bandwidth monitor appends to Image and Media, the storage filter (on
// Windows 2000) puts itself in front of the Volume class's UpperFilters.

void OrphanEdit(Scene& scene, DWORD type, const std::string& planted) {
    scene.Section(kNoMonitor);
    faults::PlantValue(ImageKey(), "LowerFilters", type, planted);
}

void MonitorEdit(Scene&, DWORD type, const std::string& planted) {
    faults::PlantValue(MediaKey(), "LowerFilters", type, planted);
}

void StorageEdit(Scene& scene, DWORD type, const std::string& planted) {
    scene.Section("99,DisableUnsafeDialog\r\n");
    faults::PlantValue(VolumeKey(), "UpperFilters", type, planted);
    std::string service = dstest::ServiceKeyPath("ZkClsUpr");
    scene.ExpectValue(service, "DisplayName", REG_SZ, "Marvanto Storage Class Filter");
    scene.ExpectValue(service, "Type", REG_DWORD, Dword(1));
    scene.ExpectValue(service, "Start", REG_DWORD, Dword(0));
    scene.ExpectValue(service, "ErrorControl", REG_DWORD, Dword(1));
    scene.ExpectValue(service, "ImagePath", REG_SZ, "system32\\drivers\\ZkClsUpr.sys");
    scene.ExpectValue(service, "Group", REG_SZ, "System Bus Extender");
}

std::string NotAListWarning(DWORD type) {
    return "WARNING: DelFilterInClassKey> LowerFilters is of type " + std::to_string(type) +
           ", not a list; left as it is.";
}

const FaultRow kFilterRows[] = {
    {"OrphanListOfTypeSzIsEditedAsAListOfOne", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_SZ, "zkmvdrv\0"s);
         s.ExpectNoValue(ImageKey(), "LowerFilters");
         s.Logged(kOrphanRemoved);
     }},
    {"OrphanListOfTypeDwordIsLeftAlone", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_DWORD, Dword(1));
         s.Logged(NotAListWarning(REG_DWORD));
     }},
    {"OrphanListOfTypeBinaryIsEditedAndKeepsItsType", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_BINARY, "zkmvdrv\0other\0\0"s);
         s.ExpectValue(ImageKey(), "LowerFilters", REG_BINARY, "other\0\0"s);
         s.Logged(kOrphanRemoved);
     }},
    {"OrphanListOfTypeQwordIsLeftAlone", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_QWORD, Dword(0x766d6b7a) + Dword(0));
         s.Logged(NotAListWarning(REG_QWORD));
         s.NotLogged(kOrphanRemoved);
     }},
    {"OrphanListOfZeroBytesIsDeleted", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_MULTI_SZ, "");
         s.ExpectNoValue(ImageKey(), "LowerFilters");
     }},
    {"OrphanListOfOneNulIsNotRewritten", "win2k",
     [](Scene& s) { OrphanEdit(s, REG_MULTI_SZ, "\0"s); }},
    {"OrphanListOfOneCharacterGetsItsTerminators", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_MULTI_SZ, "z");
         s.ExpectValue(ImageKey(), "LowerFilters", REG_MULTI_SZ, "z\0\0"s);
     }},
    {"OrphanLastInAListWithoutTerminatorsIsRemoved", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_MULTI_SZ, "other\0zkmvdrv"s);
         s.ExpectValue(ImageKey(), "LowerFilters", REG_MULTI_SZ, "other\0\0"s);
         s.Logged(kOrphanRemoved);
     }},
    {"OrphanAloneWithoutTerminatorDeletesTheList", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_MULTI_SZ, "ZKMVDRV");
         s.ExpectNoValue(ImageKey(), "LowerFilters");
         s.Logged(kOrphanRemoved);
     }},
    {"OrphanInAListLargerThan64KiBIsRemovedInPlace", "win2k",
     [](Scene& s) {
         OrphanEdit(s, REG_MULTI_SZ, LongList(10000, "zkmvdrv\0"s));
         s.ExpectValue(ImageKey(), "LowerFilters", REG_MULTI_SZ, LongList(10000, ""));
         s.Logged(kOrphanRemoved);
     }},
    {"MonitorListOfTypeSzBecomesAMultiStringList", "win2k",
     [](Scene& s) {
         MonitorEdit(s, REG_SZ, "other\0"s);
         s.ExpectValue(MediaKey(), "LowerFilters", REG_MULTI_SZ, "other\0ZKUSBSta\0\0"s);
     }},
    {"MonitorListOfTypeDwordIsLeftAlone", "win2k",
     [](Scene& s) { MonitorEdit(s, REG_DWORD, Dword(1)); }},
    {"MonitorListOfZeroBytesGetsTheMonitor", "win2k",
     [](Scene& s) {
         MonitorEdit(s, REG_MULTI_SZ, "");
         s.ExpectValue(MediaKey(), "LowerFilters", REG_MULTI_SZ, "ZKUSBSta\0\0"s);
     }},
    {"MonitorListOfOneNulGetsTheMonitor", "win2k",
     [](Scene& s) {
         MonitorEdit(s, REG_MULTI_SZ, "\0"s);
         s.ExpectValue(MediaKey(), "LowerFilters", REG_MULTI_SZ, "ZKUSBSta\0\0"s);
     }},
    {"MonitorListWithoutTerminatorsKeepsItsEntry", "win2k",
     [](Scene& s) {
         MonitorEdit(s, REG_MULTI_SZ, "other");
         s.ExpectValue(MediaKey(), "LowerFilters", REG_MULTI_SZ, "other\0ZKUSBSta\0\0"s);
     }},
    {"MonitorListLargerThan64KiBGetsTheMonitorLast", "win2k",
     [](Scene& s) {
         std::string list = LongList(10000, "");
         MonitorEdit(s, REG_MULTI_SZ, list);
         list.pop_back();
         s.ExpectValue(MediaKey(), "LowerFilters", REG_MULTI_SZ, list + "ZKUSBSta\0\0"s);
     }},
    {"StorageListOfTypeDwordIsLeftAlone", "win2k",
     [](Scene& s) { StorageEdit(s, REG_DWORD, Dword(1)); }},
    {"StorageListOfZeroBytesGetsTheFilter", "win2k",
     [](Scene& s) {
         StorageEdit(s, REG_MULTI_SZ, "");
         s.ExpectValue(VolumeKey(), "UpperFilters", REG_MULTI_SZ, "ZkClsUpr\0\0"s);
     }},
    {"StorageListOfOneNulGetsTheFilterInFront", "win2k",
     [](Scene& s) {
         StorageEdit(s, REG_MULTI_SZ, "\0"s);
         s.ExpectValue(VolumeKey(), "UpperFilters", REG_MULTI_SZ, "ZkClsUpr\0\0"s);
     }},
    {"StorageListWithoutTerminatorsFollowsByteForByte", "win2k",
     [](Scene& s) {
         StorageEdit(s, REG_MULTI_SZ, "other");
         s.ExpectValue(VolumeKey(), "UpperFilters", REG_MULTI_SZ, "ZkClsUpr\0other"s);
     }},
    {"StorageListLargerThan64KiBIsLeftAlone", "win2k",
     [](Scene& s) { StorageEdit(s, REG_MULTI_SZ, LongList(10000, "")); }},
};

class FilterListFaults : public testing::TestWithParam<FaultRow> {};
TEST_P(FilterListFaults, InstallationAnswersAndKeepsEveryOtherByte) {
    RunIfThisWindows(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Rows, FilterListFaults, testing::ValuesIn(kFilterRows), RowName);

// ---------------------------------------------------------------------------
// Keys that cannot be opened: a DACL that denies everyone everything, which
// Wine's server honours for every open, the owner's change of the DACL aside.

const FaultRow kKeyRows[] = {
    {"ImageClassKeyDeniedLeavesEveryListAsItWas", "win2k",
     [](Scene& s) {
         faults::PlantValue(ImageKey(), "LowerFilters", REG_MULTI_SZ, "zkmvdrv\0other\0\0"s);
         faults::PlantValue(MediaKey(), "LowerFilters", REG_MULTI_SZ, "other\0\0"s);
         s.DenyDuringRun(ImageKey());
         s.Logged("DelFilterInClassKey> Failed to open class registry key. (0x00000005).");
     }},
    {"MediaClassKeyDeniedStillGivesTheImageClassItsMonitor", "win2k",
     [](Scene& s) {
         faults::PlantValue(ImageKey(), "LowerFilters", REG_MULTI_SZ, "other\0\0"s);
         faults::PlantValue(MediaKey(), "LowerFilters", REG_MULTI_SZ, "other\0\0"s);
         s.ExpectValue(ImageKey(), "LowerFilters", REG_MULTI_SZ, "other\0ZKUSBSta\0\0"s);
         s.DenyDuringRun(MediaKey());
     }},
    {"MonitorServiceKeyDeniedTouchesNoList", "win2k",
     [](Scene& s) {
         faults::PlantValue(MediaKey(), "LowerFilters", REG_MULTI_SZ, "other\0\0"s);
         s.DenyDuringRun(dstest::ServiceKeyPath("ZKUSBSta"));
         s.Printed("RegisterROVudevidNT> FAILED open key (5)");
     }},
    {"StorageServiceKeyDeniedTouchesNoList", "win2k",
     [](Scene& s) {
         s.Section("99,DisableUnsafeDialog\r\n");
         faults::PlantValue(dstest::ServiceKeyPath("ZkClsUpr"), "Start", REG_DWORD, Dword(3));
         faults::PlantValue(VolumeKey(), "UpperFilters", REG_MULTI_SZ, "other\0\0"s);
         s.DenyDuringRun(dstest::ServiceKeyPath("ZkClsUpr"));
     }},
    {"VolumeClassKeyDeniedStillWritesTheStorageService", "win2k",
     [](Scene& s) {
         StorageEdit(s, REG_MULTI_SZ, "other\0\0"s);
         s.DenyDuringRun(VolumeKey());
     }},
    {"CodecKeyDeniedIsReported", "win2k",
     [](Scene& s) {
         faults::PlantValue(faults::kDrivers32, "VIDC.I420", REG_SZ, "other.dll"s + '\0');
         s.DenyDuringRun(faults::kDrivers32);
         s.Logged(zktest::kCodecOpenFailed);
     }},
};

class KeyFaults : public testing::TestWithParam<FaultRow> {};
TEST_P(KeyFaults, InstallationAnswersAndKeepsEveryOtherByte) {
    RunIfThisWindows(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Rows, KeyFaults, testing::ValuesIn(kKeyRows), RowName);

// ---------------------------------------------------------------------------
// The protected shared files: an installed codec 6.0.0.99 and a newer shared
// copy 6.0.0.100 in the maker folder.

struct CodecCopies {
    std::string installed;
    std::string shared;
};

CodecCopies PlantNewerSharedCodec(Scene& s) {
    CodecCopies copies;
    copies.installed = zktest::SystemDirectory() + "\\ZKCodec2.dll";
    copies.shared = zktest::CommonFilesDirectory() + "\\Marvshrd\\ZKCodec2.dll";
    s.Hold<FileGuard>(copies.installed);
    s.Hold<zktest::MakerFolder>("Marvshrd");
    zktest::PutFixture(zktest::kV100, copies.shared);
    zktest::PutFixture(zktest::kV99, copies.installed);
    s.WatchFile(copies.shared);
    // Nothing is staged in the shared folder; the staged copies go beside
    // the installed file.
    s.WatchFile(copies.shared + ".tmp");
    for (const char* staged : {".zk1", ".zk2", ".zk3"}) {
        s.Hold<FileGuard>(copies.installed + staged);
        s.WatchFile(copies.installed + staged);
    }
    return copies;
}

// The request that moves staged onto target at the next start, replacing it.
std::string RenameRequest(const std::string& target, const std::string& staged) {
    return "\\??\\" + staged + '\0' + "!\\??\\" + target + '\0';
}

// The codec in use by another program (readable, but not to be moved): the
// pass leaves it to the next start.
CodecCopies PlantCodecInUse(Scene& s) {
    CodecCopies copies = PlantNewerSharedCodec(s);
    s.HoldOpen(copies.installed, FILE_SHARE_READ);
    s.Logged("ERROR: Couldn't delete ZKCodec2.dll. 0x00000020 - " + SystemText(32));
    return copies;
}

void PlantPendingRenames(Scene&, DWORD type, const std::string& bytes) {
    faults::PlantValue(faults::kSessionManager, faults::kPendingRenames, type, bytes);
}

void ExpectScheduled(Scene& s, const CodecCopies& copies, const std::string& before,
                     const char* staged = ".zk1") {
    s.ExpectValue(faults::kSessionManager, faults::kPendingRenames, REG_MULTI_SZ,
                  before + RenameRequest(copies.installed, copies.installed + staged) + '\0');
    s.ExpectFile(copies.installed + staged, zktest::FixtureBytes(zktest::kV100));
}

std::string NotARenameList(DWORD type) {
    return "ERROR: PendingFileRenameOperations is of type " + std::to_string(type) +
           ", not a list; nothing scheduled.";
}

const FaultRow kPendingRenameRows[] = {
    {"MissingValueIsCreatedWithTheRequest", "win2k",
     [](Scene& s) { ExpectScheduled(s, PlantCodecInUse(s), ""); }},
    {"ValueOfTypeSzKeepsItsTypeAndPairs", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         std::string old = "\\??\\C:\\a.txt\0\0"s;
         PlantPendingRenames(s, REG_SZ, old + '\0');
         s.ExpectValue(faults::kSessionManager, faults::kPendingRenames, REG_SZ,
                       old + RenameRequest(copies.installed, copies.installed + ".zk1") + '\0');
         s.ExpectFile(copies.installed + ".zk1", zktest::FixtureBytes(zktest::kV100));
     }},
    {"ValueOfTypeDwordIsLeftAlone", "win2k",
     [](Scene& s) {
         PlantCodecInUse(s);
         PlantPendingRenames(s, REG_DWORD, Dword(1));
         s.Logged(NotARenameList(REG_DWORD));
     }},
    {"ValueOfTypeQwordIsLeftAlone", "win2k",
     [](Scene& s) {
         PlantCodecInUse(s);
         PlantPendingRenames(s, REG_QWORD, Dword(1) + Dword(0));
         s.Logged(NotARenameList(REG_QWORD));
     }},
    {"ListWithoutClosingNulKeepsItsPairs", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         std::string old = "\\??\\C:\\new.txt\0!\\??\\C:\\old.txt\0"s;
         PlantPendingRenames(s, REG_MULTI_SZ, old);
         ExpectScheduled(s, copies, old);
     }},
    {"ListOfOneNulTakesTheRequest", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         PlantPendingRenames(s, REG_MULTI_SZ, "\0"s);
         ExpectScheduled(s, copies, "");
     }},
    {"ListOfOneCharacterKeepsItAsADeletion", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         PlantPendingRenames(s, REG_MULTI_SZ, "x");
         ExpectScheduled(s, copies, "x\0\0"s);
     }},
    {"ListLargerThan64KiBKeepsEveryPair", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         std::string old = LongList(10000, "");
         PlantPendingRenames(s, REG_MULTI_SZ, old);
         old.pop_back();
         ExpectScheduled(s, copies, old);
     }},
    {"SessionManagerKeyDeniedSchedulesNothing", "win2k",
     [](Scene& s) {
         PlantCodecInUse(s);
         s.DenyDuringRun(faults::kSessionManager);
         // The key opens with whatever access is allowed (none); the query
         // is what fails.
         s.Logged("ERROR: Failed to get buffer size for PendingFileRenameOperations. " +
                  SystemText(5));
     }},
};

class PendingRenameFaults : public testing::TestWithParam<FaultRow> {};
TEST_P(PendingRenameFaults, InstallationAnswersAndKeepsEveryOtherByte) {
    RunIfThisWindows(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Rows, PendingRenameFaults, testing::ValuesIn(kPendingRenameRows), RowName);

// ---------------------------------------------------------------------------
// WinInit.ini, the rundll32 entry's way to the next start (run as Windows 98).

// The start of a deletion line, made 1,000 characters long below.
const char kLongDeletion[] = "NUL=C:\\";

void PlantWinInit(Scene& s, const std::string& text, bool readOnly = false) {
    s.run = Run::SetupEntry;
    s.Logged("Section FaultSection doesn't exist in INI file.");
    zktest::WriteFileBytes(zktest::SavedWinInit::Path(), text);
    if (readOnly) {
        SetFileAttributesA(zktest::SavedWinInit::Path().c_str(), FILE_ATTRIBUTE_READONLY);
    }
}

// The lines that move the staged copy in at the next start, and its spare to
// its name for a start-up that carries them out twice; both copies wait
// beside the installed file.
std::string RenameLines(Scene& s, const CodecCopies& copies) {
    const std::string staged = copies.installed + ".zk1";
    const std::string spare = copies.installed + ".zk2";
    s.ExpectFile(staged, zktest::FixtureBytes(zktest::kV100));
    s.ExpectFile(spare, zktest::FixtureBytes(zktest::kV100));
    return "NUL=" + copies.installed + "\r\n" + copies.installed + "=" + staged + "\r\n" + staged +
           "=" + spare;
}

const FaultRow kWinInitRows[] = {
    {"MissingWinInitSchedulesNothing", "win98",
     [](Scene& s) {
         s.run = Run::SetupEntry;
         PlantCodecInUse(s);
         s.Logged("ERROR: Couldn't create backup file for \"" + zktest::SavedWinInit::Path() +
                  "\" (0x00000002).");
     }},
    {"ReadOnlyWinInitGetsTheRequest", "win98",
     // Windows 98 renames a read-only file as any other: the new file takes
     // its name by MoveFileA steps, the request is added and the old lines stay.
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         PlantWinInit(s, "[rename]\r\nNUL=C:\\a.txt\r\n", true);
         s.ExpectFile(zktest::SavedWinInit::Path(),
                      "[rename]\r\nNUL=C:\\a.txt\r\n" + RenameLines(s, copies));
     }},
    {"WinInitHeldOpenWithoutSharingIsLeftAsItWas", "win98",
     [](Scene& s) {
         PlantCodecInUse(s);
         PlantWinInit(s, "[rename]\r\nNUL=C:\\a.txt\r\n");
         s.HoldOpen(zktest::SavedWinInit::Path(), 0);
         s.Logged("ERROR: Couldn't create backup file for \"" + zktest::SavedWinInit::Path() +
                  "\" (0x00000020).");
     }},
    {"LinesOf1000CharactersStayWhole", "win98",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         std::string longLine = kLongDeletion + std::string(993, 'a');
         std::string text = "[boot]\r\nshell=" + std::string(994, 'b') + "\r\n[rename]\r\n" +
                            longLine + "\r\n[386Enh]\r\n" + longLine + "\r\n";
         PlantWinInit(s, text);
         s.ExpectFile(zktest::SavedWinInit::Path(),
                      "[boot]\r\nshell=" + std::string(994, 'b') + "\r\n[rename]\r\n" + longLine +
                          "\r\n" + RenameLines(s, copies) + "\r\n[386Enh]\r\n" + longLine + "\r\n");
     }},
    {"NulBytesInWinInitAreKept", "win98",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         PlantWinInit(s, "[rename]\r\nNUL=C:\\a\0b.txt\r\n[boot]\r\n\0\0\r\n"s);
         s.ExpectFile(zktest::SavedWinInit::Path(), "[rename]\r\nNUL=C:\\a\0b.txt\r\n"s +
                                                        RenameLines(s, copies) +
                                                        "\r\n[boot]\r\n\0\0\r\n"s);
     }},
    {"NoRenameSectionGetsOneAtTheEnd", "win98",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         PlantWinInit(s, "[boot]\r\nshell=Explorer.exe\r\n");
         s.ExpectFile(zktest::SavedWinInit::Path(),
                      "[boot]\r\nshell=Explorer.exe\r\n[rename]\r\n" + RenameLines(s, copies));
     }},
    {"NoLineEndAtTheEndKeepsTheLastLine", "win98",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         PlantWinInit(s, "[rename]\r\nNUL=C:\\a.txt");
         s.ExpectFile(zktest::SavedWinInit::Path(),
                      "[rename]\r\nNUL=C:\\a.txt\r\n" + RenameLines(s, copies));
     }},
};

class WinInitFaults : public testing::TestWithParam<FaultRow> {};
TEST_P(WinInitFaults, SetupEntryKeepsEveryOtherByte) {
    RunIfThisWindows(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Rows, WinInitFaults, testing::ValuesIn(kWinInitRows), RowName);

// ---------------------------------------------------------------------------
// zkcoinst.ini: missing, empty, binary, a section longer than its buffer, and
// lines and built paths at the 259-character limit.

std::string ValueLine(const std::string& name) {
    return "102," + std::string(faults::kValuesKey) + "\\" + name;
}

// A line of exactly length characters that creates a value of a name padded
// to fit.
std::string ValueLineOfLength(size_t length, std::string* name) {
    size_t prefix = ValueLine("").size();
    *name = std::string(length - prefix, 'n');
    return ValueLine(*name);
}

const char kSectionNotFound[] = "ERROR: Section CamInstall not found !";

const FaultRow kControlFileRows[] = {
    {"MissingControlFileIsAMissingSection", "win2k",
     [](Scene& s) {
         zktest::RemoveFile(zktest::SystemDirectory() + "\\zkcoinst.ini");
         s.Logged(kSectionNotFound);
         s.Logged("Install bandwidth monitor.");
     }},
    {"ControlFileLockedIsAMissingSection", "win2k",
     [](Scene& s) {
         s.Section(ValueLine("locked") + "\r\n");
         s.HoldOpen(zktest::SystemDirectory() + "\\zkcoinst.ini", 0);
         s.ExpectNoValue(faults::kValuesKey, "locked");
         s.Logged(kSectionNotFound);
         s.Logged("Install bandwidth monitor.");
     }},
    {"EmptyControlFileIsAMissingSection", "win2k",
     [](Scene& s) {
         s.ControlText("");
         s.Logged(kSectionNotFound);
         s.Logged("Install bandwidth monitor.");
     }},
    {"BinaryControlFileIsAMissingSection", "win2k",
     [](Scene& s) {
         std::string bytes;
         for (int i = 0; i < 1024; ++i) {
             bytes += static_cast<char>((i * 7 + 3) & 0xFF);
         }
         s.ControlText(bytes);
         s.Logged(kSectionNotFound);
         s.Logged("Install bandwidth monitor.");
     }},
    {"BinaryLineInTheSectionRunsNothingAndTheNextLineRuns", "win2k",
     [](Scene& s) {
         s.Section("\x01\x02\x7f,\x80\xff\xfe\r\n" + ValueLine("after") + "\r\n");
         s.ExpectValue(faults::kValuesKey, "after", REG_DWORD, Dword(1));
     }},
    {"SectionLongerThan500BytesRunsOnlyItsWholeLines", "win2k",
     [](Scene& s) {
         std::string lines;
         for (int i = 1; i <= 15; ++i) {
             char name[8];
             (void)snprintf(name, sizeof(name), "v%02d", i);
             lines += ValueLine(name) + "\r\n";
             if (i <= 13) {
                 s.ExpectValue(faults::kValuesKey, name, REG_DWORD, Dword(1));
             } else {
                 s.ExpectNoValue(faults::kValuesKey, name);
             }
         }
         s.Section(lines);
         s.Logged(
             "WARNING: Section CamInstall is longer than 500 characters; its lines from this "
             "one on are not run: " +
             ValueLine("v14"));
     }},
    {"LineOf259CharactersRuns", "win2k",
     [](Scene& s) {
         std::string name;
         std::string line = ValueLineOfLength(259, &name);
         s.Section(line + "\r\n");
         s.ExpectValue(faults::kValuesKey, name, REG_DWORD, Dword(1));
         s.Logged("CreateRegKeyHKLM: " + line.substr(4) + " ");
     }},
    {"LineOf260CharactersIsRefused", "win2k",
     [](Scene& s) {
         std::string name;
         std::string line = ValueLineOfLength(260, &name);
         s.Section(line + "\r\n");
         s.ExpectNoValue(faults::kValuesKey, name);
         s.Logged("ERROR: Line longer than 259 characters; not run: " + line);
     }},
    {"BuiltPathOf259CharactersIsRegistered", "win2k",
     [](Scene& s) {
         std::string system = zktest::SystemDirectory();
         std::string argument(259 - system.size() - 1, 'p');
         s.Section("11," + argument + "\r\n");
         s.Logged("File to register: " + system + "\\" + argument);
     }},
    {"BuiltPathOf260CharactersIsRefused", "win2k",
     [](Scene& s) {
         std::string system = zktest::SystemDirectory();
         std::string argument(260 - system.size() - 1, 'p');
         s.Section("11," + argument + "\r\n");
         s.Logged("ERROR: The path " + system + "\\" + argument + " is too long; not registered.");
         s.NotLogged("File to register:");
     }},
};

class ControlFileFaults : public testing::TestWithParam<FaultRow> {};
TEST_P(ControlFileFaults, InstallationAnswersAndKeepsEveryOtherByte) {
    RunIfThisWindows(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Rows, ControlFileFaults, testing::ValuesIn(kControlFileRows), RowName);

// ---------------------------------------------------------------------------
// Registered programs whose values have the wrong types and sizes. The
// programs named do not exist: what counts is whether an entry is started
// (its command line logged) or passed over, and that the key stays as it was.

const char kAppsKey[] = "SOFTWARE\\Marvanto\\ZKCoInstaller";
const char kEntry[] = "zk_valueadd_fault";
const char kNowhere[] = "C:\\zk_fault_nowhere";

std::string EntryKey() {
    return std::string(kAppsKey) + "\\" + kEntry;
}

// A complete entry for the pre-install phase, then the row's value.
void PlantEntry(Scene& s, const char* name, DWORD type, const std::string& bytes) {
    auto& apps = s.Hold<zktest::RegisteredApps>();
    apps.SetBytes(kEntry, "Path", std::string(kNowhere) + '\0', REG_SZ);
    apps.SetBytes(kEntry, "Name", "prog.exe\0"s, REG_SZ);
    apps.SetBytes(kEntry, "Parameters", "-x\0"s, REG_SZ);
    apps.SetDword(kEntry, "PreInstall", 1);
    apps.SetDword(kEntry, "PostInstall", 0);
    if (name != nullptr) {
        apps.SetBytes(kEntry, name, bytes, type);
    }
    for (const char* value : {"Path", "Name", "Parameters", "PreInstall", "PostInstall"}) {
        s.WatchValue(EntryKey(), value);
    }
}

void ExpectLaunched(Scene& s, const std::string& commandLine) {
    s.Logged("Launching File - " + commandLine);
}

void ExpectPassedOver(Scene& s) {
    s.NotLogged("Launching File - ");
    s.NotLogged("WARNING: Unable to launch '\"");
}

const std::string kNowhereProgram = "\"C:\\zk_fault_nowhere\\prog.exe\"";

const FaultRow kRegisteredRows[] = {
    {"WellFormedEntryIsLaunched", "win2k",
     [](Scene& s) {
         PlantEntry(s, nullptr, 0, "");
         ExpectLaunched(s, kNowhereProgram + " -x");
     }},
    {"PathOfTypeDwordIsUsedAsStored", "win2k",
     [](Scene& s) {
         PlantEntry(s, "Path", REG_DWORD, Dword('A'));
         ExpectLaunched(s, "\"A\\prog.exe\" -x");
     }},
    {"PathWithoutTerminatorEndsAtTheValue", "win2k",
     [](Scene& s) {
         PlantEntry(s, "Path", REG_BINARY, kNowhere);
         ExpectLaunched(s, kNowhereProgram + " -x");
     }},
    {"PathOfZeroBytesIsPassedOver", "win2k",
     [](Scene& s) {
         PlantEntry(s, "Path", REG_SZ, "");
         ExpectPassedOver(s);
     }},
    {"NameLongerThan260BytesIsPassedOver", "win2k",
     [](Scene& s) {
         PlantEntry(s, "Name", REG_SZ, std::string(300, 'n') + '\0');
         ExpectPassedOver(s);
     }},
    {"ParametersOfZeroBytesArePassedOver", "win2k",
     [](Scene& s) {
         PlantEntry(s, "Parameters", REG_BINARY, "");
         ExpectPassedOver(s);
     }},
    {"ParametersTooLongForTheCommandLineAreNotStartedCut", "win2k",
     [](Scene& s) {
         PlantEntry(s, "Parameters", REG_SZ, std::string(70000, 'q') + '\0');
         s.NotLogged("Launching File - ");
         s.Logged("WARNING: Unable to launch '" + kNowhereProgram + " " + std::string(70000, 'q') +
                  "'. 0x0000007a - " + SystemText(ERROR_INSUFFICIENT_BUFFER));
     }},
    {"PhaseFlagOfEightBytesCountsAsZero", "win2k",
     [](Scene& s) {
         PlantEntry(s, "PreInstall", REG_QWORD, Dword(1) + Dword(0));
         ExpectPassedOver(s);
     }},
    {"PhaseFlagOfOneByteIsReadAsStored", "win2k",
     [](Scene& s) {
         PlantEntry(s, "PreInstall", REG_BINARY, "\x01");
         ExpectLaunched(s, kNowhereProgram + " -x");
     }},
    {"PhaseFlagOfTypeSzIsReadAsStored", "win2k",
     [](Scene& s) {
         PlantEntry(s, "PreInstall", REG_SZ, "0\0"s);
         ExpectLaunched(s, kNowhereProgram + " -x");
     }},
    {"EntryKeyDeniedIsPassedOver", "win2k",
     [](Scene& s) {
         PlantEntry(s, nullptr, 0, "");
         s.DenyDuringRun(EntryKey());
         ExpectPassedOver(s);
     }},
    {"ProgramsKeyDeniedStartsNothing", "win2k",
     [](Scene& s) {
         PlantEntry(s, nullptr, 0, "");
         s.DenyDuringRun(kAppsKey);
         ExpectPassedOver(s);
         s.Logged("LaunchRegisteredApp:");
     }},
    {"MissingMakerFolderPassesTheEntryOver", "win2k",
     [](Scene& s) {
         PlantEntry(s, "Path", REG_SZ, "%43%\\%L%\0"s);
         ExpectPassedOver(s);
     }},
    {"MakerFolderThatIsAFilePassesTheEntryOver", "win2k",
     [](Scene& s) {
         PlantEntry(s, "Path", REG_SZ, "%43%\\%L%\0"s);
         s.Hold<zktest::MakerFolder>("Marvanto", true);
         ExpectPassedOver(s);
     }},
};

class RegisteredProgramFaults : public testing::TestWithParam<FaultRow> {};
TEST_P(RegisteredProgramFaults, InstallationAnswersAndKeepsEveryOtherByte) {
    RunIfThisWindows(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Rows, RegisteredProgramFaults, testing::ValuesIn(kRegisteredRows),
                         RowName);

// ---------------------------------------------------------------------------
// Protected files locked, read-only, or with directories in their places.

const FaultRow kProtectedFileRows[] = {
    {"MissingMakerFolderChangesNothing", "win2k",
     [](Scene& s) {
         std::string installed = zktest::SystemDirectory() + "\\ZKCodec2.dll";
         s.Hold<FileGuard>(installed);
         zktest::PutFixture(zktest::kV99, installed);
         s.Logged("Processing ZKCodec2.dll.");
         s.Logged("New file version 6.0.0.99.");
         s.NotLogged("Restoring");
     }},
    {"InstalledFileLockedWithoutSharingIsLeftAlone", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         s.HoldOpen(copies.installed, 0);
         s.Logged("Restoring " + copies.shared);
         s.Logged("File isn't exist");
     }},
    {"InstalledFileInUseByAnotherProcessIsLeftToTheNextStart", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         s.HoldOpenInOtherProcess(copies.installed);
         ExpectScheduled(s, copies, "");
         s.Logged("ERROR: Couldn't delete ZKCodec2.dll. 0x00000020 - " + SystemText(32));
     }},
    {"SharedCopyLockedWithoutSharingIsNotChosen", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         s.HoldOpen(copies.shared, 0);
         s.NotLogged("Restoring");
     }},
    {"ReadOnlyInstalledFileIsLeftToTheNextStart", "win2k",
     // Moved aside it cannot be deleted, so it is put back and scheduled.
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         SetFileAttributesA(copies.installed.c_str(), FILE_ATTRIBUTE_READONLY);
         ExpectScheduled(s, copies, "");
         s.Logged("ERROR: Couldn't delete ZKCodec2.dll. 0x00000005 - " + SystemText(5));
     }},
    {"ReadOnlySharedCopyIsCopiedAndKept", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         SetFileAttributesA(copies.shared.c_str(), FILE_ATTRIBUTE_READONLY);
         s.ExpectFile(copies.installed, zktest::FixtureBytes(zktest::kV100));
     }},
    {"DirectoryInPlaceOfTheInstalledFileIsLeftAlone", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         zktest::RemoveFile(copies.installed);
         CreateDirectoryA(copies.installed.c_str(), nullptr);
         s.ExpectDirectory(copies.installed);
         s.Logged("File isn't exist");
     }},
    {"DirectoryInPlaceOfTheSharedCopyIsSearchedNotCopied", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         zktest::RemoveFile(copies.shared);
         CreateDirectoryA(copies.shared.c_str(), nullptr);
         s.ExpectDirectory(copies.shared);
         s.NotLogged("Restoring");
     }},
    {"DirectoryInPlaceOfTheNewCopyLeavesTheFileToTheNextStart", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         s.Hold<FileGuard>(copies.installed + ".new");
         CreateDirectoryA((copies.installed + ".new").c_str(), nullptr);
         s.ExpectDirectory(copies.installed + ".new");
         ExpectScheduled(s, copies, "");
     }},
    // The replacing move needs no name aside.
    {"DirectoryInPlaceOfTheOldNameIsNoObstacle", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantNewerSharedCodec(s);
         s.Hold<FileGuard>(copies.installed + ".old");
         CreateDirectoryA((copies.installed + ".old").c_str(), nullptr);
         s.ExpectDirectory(copies.installed + ".old");
         s.ExpectFile(copies.installed, zktest::FixtureBytes(zktest::kV100));
     }},
    // Whatever has a staged copy's name is not written over: the next name
    // is taken.
    {"DirectoryInPlaceOfTheStagedCopyIsPassedOver", "win2k",
     [](Scene& s) {
         CodecCopies copies = PlantCodecInUse(s);
         s.Hold<FileGuard>(copies.installed + ".zk1");
         CreateDirectoryA((copies.installed + ".zk1").c_str(), nullptr);
         s.ExpectDirectory(copies.installed + ".zk1");
         ExpectScheduled(s, copies, "", ".zk2");
     }},
};

class ProtectedFileFaults : public testing::TestWithParam<FaultRow> {};
TEST_P(ProtectedFileFaults, InstallationAnswersAndKeepsEveryOtherByte) {
    RunIfThisWindows(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Rows, ProtectedFileFaults, testing::ValuesIn(kProtectedFileRows), RowName);

// ---------------------------------------------------------------------------
// The log file read-only, held open by another handle, or a directory.

const char kOldRun[] = "   A message of an earlier run.\r\n\r\n";

const FaultRow kLogRows[] = {
    {"LogHeldOpenWithoutSharingStaysAsItWas", "win2k",
     [](Scene& s) {
         zktest::WriteFileBytes(zktest::InstallLogPath(), kOldRun);
         s.HoldOpen(zktest::InstallLogPath(), 0);
         s.LogUntouched();
     }},
    {"ReadOnlyLogIsAppendedTo", "win2k",
     // Run as root, Wine opens a read-only file for writing.
     [](Scene& s) {
         zktest::WriteFileBytes(zktest::InstallLogPath(), kOldRun);
         SetFileAttributesA(zktest::InstallLogPath().c_str(), FILE_ATTRIBUTE_READONLY);
         s.Logged("DIF Code: DIF_INSTALLDEVICE (Pro-processing) ----------------------");
     }},
    {"LogHeldOpenByAnotherProcessStaysAsItWas", "win2k",
     [](Scene& s) {
         zktest::WriteFileBytes(zktest::InstallLogPath(), kOldRun);
         s.HoldOpenInOtherProcess(zktest::InstallLogPath());
         s.LogUntouched();
     }},
    {"DirectoryInPlaceOfTheLogStaysAsItWas", "win2k",
     [](Scene& s) {
         s.Hold<FileGuard>(zktest::InstallLogPath());
         CreateDirectoryA(zktest::InstallLogPath().c_str(), nullptr);
         s.LogUntouched();
     }},
    {"LogHeldOpenDuringTheRundll32EntryStaysAsItWas", "win98",
     [](Scene& s) {
         s.run = Run::SetupEntry;
         zktest::WriteFileBytes(zktest::InstallLogPath(), kOldRun);
         s.HoldOpen(zktest::InstallLogPath(), 0);
         s.LogUntouched();
     }},
};

class LogFaults : public testing::TestWithParam<FaultRow> {};
TEST_P(LogFaults, InstallationAnswersAndKeepsEveryOtherByte) {
    RunIfThisWindows(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Rows, LogFaults, testing::ValuesIn(kLogRows), RowName);

}  // namespace
