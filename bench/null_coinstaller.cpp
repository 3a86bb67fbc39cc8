// A co-installer that does nothing: the floor the benchmark compares
// zkcoinst.dll against. Same exports, same answers to the device installer.
#include <windows.h>
#include <setupapi.h>

extern "C" DWORD CALLBACK ZkCoInstaller(DI_FUNCTION installFunction, HDEVINFO, PSP_DEVINFO_DATA,
                                        PCOINSTALLER_CONTEXT_DATA context) {
    if (installFunction == DIF_INSTALLDEVICE && context != nullptr && !context->PostProcessing) {
        return 0xE0000226;  // ERROR_DI_POSTPROCESSING_REQUIRED
    }
    return NO_ERROR;
}

extern "C" void CALLBACK SetupEntryPoint(HWND, HINSTANCE, LPSTR, int) {}
