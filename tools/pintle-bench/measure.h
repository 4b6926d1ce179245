// Timing for the benchmark: a hot path and its floor are timed in
// alternating pairs, so that both see the same machine load, and reported
// as the median and 90th percentile of the cost per call.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Stats {
    double median_us = 0;
    double p90_us = 0;
    double max_us = 0;
};

// Statistics of per-call costs in microseconds.
Stats StatsOf(std::vector<double> per_call_us);

struct PairResult {
    Stats path;
    Stats floor;
    std::vector<double> path_us, floor_us;  // every sample, per call, in the order taken
};

// `samples` pairs; each side runs `batch` calls per sample, the side that
// goes first alternating from pair to pair. `before` runs untimed ahead of
// every pair (state the path needs afresh each time).
PairResult MeasurePairs(int samples, int batch, const std::function<void()>& path, const std::function<void()>& floor,
                        const std::function<void()>& before = {});

// Microseconds since an arbitrary start.
double NowUs();

// One row of the report.
struct Row {
    std::string name;     // machine-readable, for the BENCH line
    std::string title;    // for the table
    PairResult result;
    bool show_max = false;  // worst case matters (contention)
};

void PrintReport(const std::vector<Row>& rows);

}  // namespace bench
