// Stress tests stop by themselves: a run that does not end within its bound
// is a hang, reported as one, and the test program ends there rather than
// waiting for the test runner's time-out.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace pintle::test {

// Runs fn(0) .. fn(threads - 1) on threads of their own and waits for all
// of them at most `bound`. A thread still running then ends the program
// with exit code 3 after saying which.
inline void RunBounded(int threads, std::chrono::seconds bound, const std::function<void(int)>& fn) {
    std::vector<std::future<void>> running;
    for (int t = 0; t < threads; ++t) running.push_back(std::async(std::launch::async, fn, t));
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (int t = 0; t < threads; ++t) {
        if (running[t].wait_until(deadline) != std::future_status::ready) {
            std::fprintf(stderr, "hang: thread %d of %d still running after %lld s\n", t, threads,
                         static_cast<long long>(bound.count()));
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
    for (auto& r : running) r.get();
}

}  // namespace pintle::test
