#include "core/mutex_wait.h"

bool TakeMutex(HANDLE mutex) {
    if (mutex == nullptr) {
        return false;
    }
    DWORD result = WaitForMultipleObjectsEx(1, &mutex, FALSE, INFINITE, FALSE);
    if (result == WAIT_ABANDONED_0) {
        ReleaseMutex(mutex);
    }
    return result == WAIT_OBJECT_0;
}
