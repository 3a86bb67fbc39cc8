// The DLL entry routine. The runtime calls it after its own start-up on
// process attach and before its own shutdown on process detach.
#include <windows.h>

#include "core/library.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        LibraryProcessAttach();
    } else if (reason == DLL_PROCESS_DETACH) {
        LibraryProcessDetach();
    }
    return TRUE;
}
