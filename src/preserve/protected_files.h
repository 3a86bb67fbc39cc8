// The shared files of the package whose newest copy is kept in place, and the
// forming of their install locations. Windows-free.
#pragma once

#include <cstddef>

struct ProtectedFile {
    // Where the package installs the file; "%10%" stands for the Windows
    // directory and "%11%" for the system directory (INF directory ids).
    const char* installedPath;
    // The bare name, looked for under the search root and shown in the log.
    const char* fileName;
    // A path template naming the folder tree to search.
    const char* searchRoot;
};

// The six rows in processing order, then an end row whose installedPath is null.
extern const ProtectedFile ProtectedFileTable[];

// Forms the install location of installedPath: the Windows directory in place
// of "%10%" (or, when there is none, the system directory in place of "%11%"),
// followed by the text after the token; text in front of the token is dropped.
// A template without either token is taken as it is. False, with an empty
// output, when the result does not fit capacity.
bool ResolveInstalledPath(const char* installedPath, const char* windowsDirectory,
                          const char* systemDirectory, char* output, size_t capacity);
