// log_alloc_bench: LogMessage into the real log file, and TrackedAlloc/
// TrackedFree pairs with one thread and with four.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/leading_int.h"
#include "core/device_context.h"
#include "core/install_log.h"
#include "core/library.h"
#include "core/tracked_alloc.h"

namespace {

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

constexpr int kPairsPerThread = 50000;

DWORD WINAPI AllocFreeLoop(void*) {
    for (int i = 0; i < kPairsPerThread; ++i) {
        void* block = TrackedAlloc(static_cast<uint32_t>(16 + (i & 255)));
        TrackedFree(block);
    }
    return 0;
}

double PairsPerSecond(int threads) {
    std::vector<HANDLE> handles;
    double start = Now();
    for (int t = 0; t < threads; ++t) {
        handles.push_back(CreateThread(nullptr, 0, AllocFreeLoop, nullptr, 0, nullptr));
    }
    WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, INFINITE);
    double seconds = Now() - start;
    for (HANDLE handle : handles) {
        CloseHandle(handle);
    }
    return threads * kPairsPerThread / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    int messages = 20000;
    if (argc > 1 && !ParseWholeInt(argv[1], &messages)) {
        (void)fprintf(stderr, "usage: log_alloc_bench [MESSAGES]\n");
        return 2;
    }
    LibraryProcessAttach();

    DeviceContext* context = GetDeviceContext(reinterpret_cast<const void*>(0xBE7C));
    if (context == nullptr || context->logStream == nullptr) {
        (void)fprintf(stderr, "log_alloc_bench: cannot open the log\n");
        return 1;
    }
    double start = Now();
    for (int i = 0; i < messages; ++i) {
        LogMessage(context, "Benchmark message %d of %d - %s\n", i, messages, "C:\\camera\\x");
    }
    ReleaseDeviceContext(context);  // the close flushes what is buffered
    double seconds = Now() - start;
    printf("log_messages_per_s %.0f\n", messages / seconds);

    printf("alloc_free_pairs_per_s_1_thread %.0f\n", PairsPerSecond(1));
    printf("alloc_free_pairs_per_s_4_threads %.0f\n", PairsPerSecond(4));
    LibraryProcessDetach();
    return 0;
}
