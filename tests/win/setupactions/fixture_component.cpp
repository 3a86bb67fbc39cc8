// A COM component for registration tests: DllRegisterServer records that it
// ran, with the command line of the process that called it, in a file beside
// the component named "<component path>.ran".
#include <windows.h>

namespace {

HMODULE g_module = nullptr;

void WriteRecord(const char* suffix, const char* text) {
    char path[MAX_PATH + 8] = {};
    DWORD length = GetModuleFileNameA(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    lstrcatA(path, suffix);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, text, lstrlenA(text), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    WriteRecord(".ran", GetCommandLineA());
    return S_OK;
}
