// Taking the two process-wide mutexes of the core.
#pragma once

#include <windows.h>

// Waits, without a time limit and not alertably, until mutex is this thread's.
// True only for a plain WAIT_OBJECT_0. A mutex abandoned by a thread that ended
// while holding it is handed to the waiter all the same; it is released again
// at once and the wait counts as failed, because the list it guards may have
// been left half changed, and a mutex kept by a caller that reports failure
// would block every other thread for good.
bool TakeMutex(HANDLE mutex);
