// install_bench: what the co-installer costs a device installation.
//
//   install_bench --inf PATH --hwid ID [--hwid ID...] --dll A [--dll B]
//                 [--runs N] [--warmup W]
//
// Runs the harness's whole DIF sequence N times with each DLL, alternating
// them, after W warm-up installations each. For each DLL it prints the time
// spent inside the co-installer's calls and the time of the whole installation
// (median and 10th-90th percentiles, milliseconds). With one DLL it also prints
// the process's peak working set, so that running it once per DLL compares the
// two.
#include <windows.h>
#include <psapi.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/leading_int.h"
#include "bench_stats.h"
#include "harness/device_install.h"

namespace {

struct Candidate {
    std::string path;
    CoInstallerProc entry = nullptr;
    std::vector<double> inside;  // seconds inside the co-installer, per installation
    std::vector<double> whole;   // seconds of the whole installation
};

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool InstallOnce(const InstallOptions& options, Candidate* candidate, bool record) {
    double start = Now();
    InstallReport report = InstallWithCoInstaller(options, candidate->entry);
    double end = Now();
    if (!report.ok) {
        (void)fprintf(stderr, "install_bench: %s\n", report.error.c_str());
        return false;
    }
    if (record) {
        double inside = 0;
        for (const CallRecord& call : report.calls) {
            inside += call.seconds;
        }
        candidate->inside.push_back(inside);
        candidate->whole.push_back(end - start);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    InstallOptions options;
    options.quiet = true;
    std::vector<Candidate> candidates;
    int runs = 30;
    int warmup = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--inf") {
            options.infPath = argv[i + 1];
        } else if (arg == "--hwid") {
            options.hardwareIds.push_back(argv[i + 1]);
        } else if (arg == "--dll") {
            Candidate candidate;
            candidate.path = argv[i + 1];
            candidates.push_back(candidate);
        } else if (arg == "--runs" || arg == "--warmup") {
            if (!ParseWholeInt(argv[i + 1], arg == "--runs" ? &runs : &warmup)) {
                (void)fprintf(stderr, "install_bench: %s takes a whole number\n", arg.c_str());
                return 2;
            }
        }
    }
    if (options.infPath.empty() || options.hardwareIds.empty() || candidates.empty()) {
        (void)fprintf(stderr,
                      "usage: install_bench --inf PATH --hwid ID --dll A [--dll B] [--runs N]\n");
        return 2;
    }
    for (Candidate& candidate : candidates) {
        HMODULE module = LoadLibraryA(candidate.path.c_str());
        candidate.entry = module == nullptr
                              ? nullptr
                              : reinterpret_cast<CoInstallerProc>(reinterpret_cast<void*>(
                                    GetProcAddress(module, "ZkCoInstaller")));
        if (candidate.entry == nullptr) {
            (void)fprintf(stderr, "install_bench: cannot load %s\n", candidate.path.c_str());
            return 1;
        }
    }
    for (int round = 0; round < warmup + runs; ++round) {
        for (Candidate& candidate : candidates) {
            if (!InstallOnce(options, &candidate, round >= warmup)) {
                return 1;
            }
        }
    }
    for (const Candidate& candidate : candidates) {
        Spread inside = SpreadOf(candidate.inside);
        Spread whole = SpreadOf(candidate.whole);
        printf(
            "%s inside_median_ms %.3f inside_p10_ms %.3f inside_p90_ms %.3f whole_median_ms %.3f "
            "whole_p10_ms %.3f whole_p90_ms %.3f\n",
            candidate.path.c_str(), inside.median * 1e3, inside.low * 1e3, inside.high * 1e3,
            whole.median * 1e3, whole.low * 1e3, whole.high * 1e3);
    }
    if (candidates.size() == 1) {
        PROCESS_MEMORY_COUNTERS counters;
        counters.cb = sizeof(counters);
        if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
            printf("%s peak_working_set_kib %lu\n", candidates[0].path.c_str(),
                   static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
        }
    }
    return 0;
}
