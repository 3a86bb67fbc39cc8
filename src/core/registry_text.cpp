#include "core/registry_text.h"

#include <cstring>

LONG ReadTextValue(HKEY key, const char* name, char* text, DWORD capacity) {
    memset(text, 0, capacity);
    DWORD size = capacity - 1;
    return RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
}

DWORD ReadTextProperty(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, DWORD property,
                       char* text, DWORD capacity) {
    memset(text, 0, capacity);
    if (!SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, deviceInfoData, property, nullptr,
                                           reinterpret_cast<BYTE*>(text), capacity - 1, nullptr)) {
        return GetLastError();
    }
    return 0;
}

namespace {

// A block of size + terminators bytes, all zero; false when it cannot be had
// or the sum does not fit.
bool TakeClearedBlock(DWORD size, DWORD terminators, TrackedBuffer* text) {
    if (size > UINT32_MAX - terminators) {
        return false;
    }
    *text = TrackedBuffer(size + terminators);
    if (!*text) {
        return false;
    }
    memset(text->Get(), 0, size + terminators);
    return true;
}

}  // namespace

SizedRead ReadSizedTextValue(HKEY key, const char* name, DWORD terminators, TrackedBuffer* text) {
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
    if (status != ERROR_SUCCESS || size == 0) {
        return {SizedReadStep::kSize, static_cast<DWORD>(status)};
    }
    if (!TakeClearedBlock(size, terminators, text)) {
        return {SizedReadStep::kAllocate, 0};
    }
    status = RegQueryValueExA(key, name, nullptr, nullptr, text->Bytes(), &size);
    if (status != ERROR_SUCCESS) {
        *text = TrackedBuffer();
        return {SizedReadStep::kRead, static_cast<DWORD>(status)};
    }
    return {SizedReadStep::kDone, 0};
}

SizedRead ReadSizedTextProperty(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                DWORD property, DWORD terminators, TrackedBuffer* text) {
    DWORD size = 0;
    SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, deviceInfoData, property, nullptr, nullptr, 0,
                                      &size);
    if (size == 0) {
        return {SizedReadStep::kSize, GetLastError()};
    }
    if (!TakeClearedBlock(size, terminators, text)) {
        return {SizedReadStep::kAllocate, 0};
    }
    if (!SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, deviceInfoData, property, nullptr,
                                           text->Bytes(), size, nullptr)) {
        DWORD error = GetLastError();
        *text = TrackedBuffer();
        return {SizedReadStep::kRead, error};
    }
    return {SizedReadStep::kDone, 0};
}
