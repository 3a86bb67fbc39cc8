#include "preserve/file_version.h"

FileVersion FileVersionFromFixedInfo(uint32_t fileVersionMS, uint32_t fileVersionLS) {
    FileVersion version;
    version.major = static_cast<uint16_t>(fileVersionMS >> 16);
    version.minor = static_cast<uint16_t>(fileVersionMS & 0xFFFF);
    version.build = static_cast<uint16_t>(fileVersionLS >> 16);
    version.revision = static_cast<uint16_t>(fileVersionLS & 0xFFFF);
    return version;
}

bool IsNewerVersion(const FileVersion& a, const FileVersion& b) {
    // Compared as unsigned numbers: a build of 40000 is above a build of 1.
    if (a.major != b.major) {
        return a.major > b.major;
    }
    if (a.minor != b.minor) {
        return a.minor > b.minor;
    }
    if (a.build != b.build) {
        return a.build > b.build;
    }
    return a.revision > b.revision;
}

bool IsNoVersion(const FileVersion& version) {
    return version.major == 0 && version.minor == 0 && version.build == 0 && version.revision == 0;
}
