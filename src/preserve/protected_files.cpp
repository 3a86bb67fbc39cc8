#include "preserve/protected_files.h"

#include <cstring>

#include "common/bounded_text.h"

const ProtectedFile ProtectedFileTable[] = {
    {"%10%\\TWAIN_32\\Pictavue\\zkWIAext.dll", "zkWIAext.dll", "%43%\\%L%"},
    {"%10%\\TWAIN_32\\Pictavue\\zksf.dll", "zksf.dll", "%43%\\%L%"},
    {"%11%\\ZKCodec2.dll", "ZKCodec2.dll", "%43%\\%L%"},
    {"%11%\\ZKUI2.dll", "ZKUI2.dll", "%43%\\%L%"},
    {"%11%\\ZKUI2RC.dll", "ZKUI2RC.dll", "%43%\\%L%"},
    {"%10%\\system32\\drivers\\ZKUSBSta.sys", "ZKUSBSta.sys", "%43%\\%L%"},
    {nullptr, nullptr, nullptr},
};

bool ResolveInstalledPath(const char* installedPath, const char* windowsDirectory,
                          const char* systemDirectory, char* output, size_t capacity) {
    const char* directory = nullptr;
    const char* rest = strstr(installedPath, "%10%");
    if (rest != nullptr) {
        directory = windowsDirectory;
    } else {
        rest = strstr(installedPath, "%11%");
        if (rest != nullptr) {
            directory = systemDirectory;
        }
    }
    if (directory == nullptr) {
        return zk::CopyText(output, capacity, installedPath);
    }
    return zk::CopyText(output, capacity, directory) && zk::AppendText(output, capacity, rest + 4);
}
