#include "core/device_classes.h"

#include <cstring>

int GetDeviceClassIndex(const SP_DEVINFO_DATA* deviceInfoData) {
    if (deviceInfoData == nullptr) {
        return -1;
    }
    int index = -1;
    for (int i = 0; i < kKestrClassCount; ++i) {
        if (memcmp(&deviceInfoData->ClassGuid, &KestrClassTable[i].classGuid, sizeof(GUID)) == 0) {
            index = i;
        }
    }
    return index;
}
