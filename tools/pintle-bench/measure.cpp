#include "measure.h"

#include <windows.h>

#include <intrin.h>

#include <algorithm>
#include <cstdio>

namespace bench {
namespace {

double QpcUs() {
    static const double ticks_per_us = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticks_per_us;
}

// The performance counter ticks in 0.1 us under Wine, too coarse for calls
// of a few nanoseconds: the time-stamp counter, calibrated against it once.
double CyclesPerUs() {
    static const double rate = [] {
        const double q0 = QpcUs();
        const unsigned long long c0 = __rdtsc();
        while (QpcUs() - q0 < 200000.0) {
        }
        return static_cast<double>(__rdtsc() - c0) / (QpcUs() - q0);
    }();
    return rate;
}

}  // namespace

double NowUs() { return static_cast<double>(__rdtsc()) / CyclesPerUs(); }

Stats StatsOf(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) { return v[std::min(v.size() - 1, static_cast<std::size_t>(q * (v.size() - 1) + 0.5))]; };
    s.median_us = at(0.5);
    s.p90_us = at(0.9);
    s.max_us = v.back();
    return s;
}

PairResult MeasurePairs(int samples, int batch, const std::function<void()>& path, const std::function<void()>& floor,
                        const std::function<void()>& before) {
    std::vector<double> p, f;
    p.reserve(samples);
    f.reserve(samples);
    CyclesPerUs();
    auto time = [batch](const std::function<void()>& fn) {
        const double t0 = NowUs();
        for (int i = 0; i < batch; ++i) fn();
        return (NowUs() - t0) / batch;
    };
    // A few untimed rounds first: caches, first-use opens, page faults.
    for (int i = 0; i < 3; ++i) {
        if (before) before();
        path();
        floor();
    }
    for (int i = 0; i < samples; ++i) {
        if (before) before();
        if (i % 2 == 0) {
            p.push_back(time(path));
            f.push_back(time(floor));
        } else {
            f.push_back(time(floor));
            p.push_back(time(path));
        }
    }
    return {StatsOf(p), StatsOf(f), std::move(p), std::move(f)};
}

void PrintReport(const std::vector<Row>& rows) {
    std::printf("\n%-44s %11s %11s %11s %11s %7s\n", "path (us per call)", "median", "p90", "floor med", "floor p90",
                "ratio");
    for (const Row& r : rows) {
        const double ratio = r.result.floor.median_us > 0 ? r.result.path.median_us / r.result.floor.median_us : 0;
        std::printf("%-44s %11.3f %11.3f %11.3f %11.3f %7.2f\n", r.title.c_str(), r.result.path.median_us,
                    r.result.path.p90_us, r.result.floor.median_us, r.result.floor.p90_us, ratio);
        if (r.show_max) {
            std::printf("%-44s %11.3f %11s %11.3f\n", "    worst case", r.result.path.max_us, "",
                        r.result.floor.max_us);
        }
    }
    std::printf("\n");
    for (const Row& r : rows) {
        const double ratio = r.result.floor.median_us > 0 ? r.result.path.median_us / r.result.floor.median_us : 0;
        std::printf("BENCH %s median_us=%.3f floor_us=%.3f ratio=%.2f\n", r.name.c_str(), r.result.path.median_us,
                    r.result.floor.median_us, ratio);
    }
    std::fflush(stdout);
}

}  // namespace bench
