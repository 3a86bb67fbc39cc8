#include "core/path_template.h"

#include <windows.h>
#include <shlobj.h>

#include "core/tracked_alloc.h"
#include "core/path_template_core.h"

namespace {

uint32_t GetAttributes(const char* path) {
    return GetFileAttributesA(path);
}

bool GetSpecialFolder(int csidl, char* path) {
    // No owner window, and the folder is not created when it is missing.
    return SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) != FALSE;
}

const PathTemplatePlatform kWin32Platform = {TrackedAlloc, TrackedFree, GetAttributes,
                                             GetSpecialFolder};

}  // namespace

char* ExpandPathTemplate(char* templateBuffer) {
    return ExpandPathTemplateWith(kWin32Platform, templateBuffer);
}

char* AppendToBuffer(char* buffer, uint32_t* capacity, const char* text) {
    return AppendToBufferWith(kWin32Platform, buffer, capacity, text);
}
