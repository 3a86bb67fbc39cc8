#include "dll_check.h"

#include <cstring>

#include "common/bounded_text.h"
#include "package_files.h"
#include "pe_image.h"

namespace zk::pkgcheck {

namespace {

std::string MachineName(uint16_t machine) {
    switch (machine) {
        case kMachineI386:
            return "x86";
        case kMachineAmd64:
            return "amd64";
        case 0x200:
            return "ia64";
        case 0x1c4:
            return "arm";
        case 0xaa64:
            return "arm64";
        default:
            return "machine " + Hex(machine, 4);
    }
}

std::string ExportList(const PeImage& image) {
    const size_t kShown = 6;
    if (image.exports.empty()) {
        return "none";
    }
    std::string list;
    for (size_t i = 0; i < image.exports.size() && i < kShown; ++i) {
        list += (i == 0 ? "" : ", ") + image.exports[i];
    }
    if (image.exports.size() > kShown) {
        list += ", ... (" + std::to_string(image.exports.size()) + " in all)";
    }
    return list;
}

// What the DLL exports instead of name, when it is the same name spelled
// otherwise: in another case, or with the "@N" that an x86 stdcall function
// gets when the DLL is linked without its .def file.
std::string NearName(const PeImage& image, const char* name) {
    size_t length = strlen(name);
    for (const std::string& exported : image.exports) {
        if (exported.size() > length + 1 && exported.compare(0, length, name) == 0 &&
            exported[length] == '@') {
            return "; it exports " + exported +
                   " instead, the name of an x86 stdcall function in a DLL linked without "
                   "its .def file";
        }
        if (SameFileName(exported, name)) {
            return "; it exports " + exported + ", which differs in case";
        }
    }
    return std::string();
}

}  // namespace

// A DLL the .CoInstallers section copies: its machine, and for zkcoinst.dll
// its entries; the version of each.
bool ExportsCoInstallerEntry(const CopyEntry& entry) {
    std::string bytes;
    PeImage image;
    std::string error;
    return entry.located && ReadWholeFile(entry.path, &bytes) &&
           ReadPeImage(bytes, &image, &error) && ExportsName(image, kCoInstallerEntry);
}

void CheckDll(Checker* checker, const ArchitectureInfo& info, const CopyEntry& entry,
              const std::vector<std::string>& coInstallerNames, Verdict* verdict, int depth) {
    std::string bytes;
    if (!ReadWholeFile(entry.path, &bytes)) {
        checker->Warn(depth, entry.shown + " cannot be read");
        verdict->Stop(entry.shown + " cannot be read");
        return;
    }
    PeImage image;
    std::string error;
    if (!ReadPeImage(bytes, &image, &error)) {
        checker->Say(depth, entry.shown + ": " + error);
        checker->Warn(depth, entry.shown + " is " + error);
        verdict->Stop(entry.shown + " is no PE file");
        return;
    }
    bool coInstaller = IsCoInstallerName(entry.destination, coInstallerNames);
    std::string text = entry.shown + ": " + MachineName(image.machine) +
                       (image.isDll ? " DLL" : " program") + " (" + Hex(image.machine, 0) + ")";
    bool hasEntry = ExportsName(image, kCoInstallerEntry);
    bool hasSetupEntry = ExportsName(image, kSetupEntry);
    if (coInstaller) {
        if (hasEntry && hasSetupEntry) {
            text += ", exports ZkCoInstaller and SetupEntryPoint";
        } else if (hasEntry || hasSetupEntry) {
            text += std::string(", exports ") + (hasEntry ? kCoInstallerEntry : kSetupEntry) +
                    ", not " + (hasEntry ? kSetupEntry : kCoInstallerEntry);
        } else {
            text += ", exports neither ZkCoInstaller nor SetupEntryPoint";
        }
        if (!hasEntry || !hasSetupEntry) {
            text += " (its exports: " + ExportList(image) + ")";
        }
    }
    if (image.hasVersion) {
        FixedText<32> version;
        text += version.Format(", version %u.%u.%u.%u", image.fileVersion[0], image.fileVersion[1],
                               image.fileVersion[2], image.fileVersion[3])
                    ? version.c_str()
                    : "";
    } else {
        text += ", no version resource";
    }
    checker->Say(depth, text);
    if (image.machine != info.machine) {
        checker->Warn(depth, entry.shown + " is built for " + MachineName(image.machine) + " (" +
                                 Hex(image.machine, 0) + "); " + info.name +
                                 " Windows loads only " + info.name + " DLLs (" +
                                 Hex(info.machine, 0) + ") into the device installer");
        verdict->Stop(entry.shown + " is built for " + MachineName(image.machine) + ", not " +
                      info.name);
    }
    if (!image.isDll) {
        checker->Warn(depth, entry.shown + " is a program, not a DLL");
        verdict->Stop(entry.shown + " is not a DLL");
    }
    if (coInstaller && !hasEntry) {
        checker->Warn(depth, entry.shown +
                                 " does not export ZkCoInstaller, the entry that "
                                 "CoInstallers32 names" +
                                 NearName(image, kCoInstallerEntry));
        verdict->Stop(entry.shown + " does not export ZkCoInstaller");
    }
    if (coInstaller && !hasSetupEntry) {
        checker->Warn(depth, entry.shown +
                                 " does not export SetupEntryPoint, through which a "
                                 "setup program runs zkcoinst.ini sections" +
                                 NearName(image, kSetupEntry));
    }
    if (!image.hasVersion) {
        checker->Warn(depth, entry.shown + " has no version resource");
    }
}

}  // namespace zk::pkgcheck
