// The one door to time. Every delay and throttle in the plug-in is a comparison
// of two readings taken here, so tests move this clock instead of sleeping.
// Thread-safe: the installed clock is swapped atomically; ManualClock is not
// meant to be moved while another thread reads it.
#pragma once
#include <atomic>
#include <cstdint>

namespace pintle {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since system start; wraps at 2^32 like GetTickCount.
    virtual uint32_t TickMs() = 0;
    // Whole seconds since 1970-01-01 00:00 UTC.
    virtual int64_t NowSeconds() = 0;
};

uint32_t TickMs();
int64_t NowSeconds();

// The machine's own clock, used while no other is installed. The platform
// adapter defines it (clock_win.cpp).
Clock& SystemClock();

// Installs a clock for the whole process; nullptr puts the system clock back.
void InstallClock(Clock* clock);

// A clock that only moves when told to. Wall time and ticks move together.
class ManualClock : public Clock {
public:
    explicit ManualClock(int64_t now_seconds = 1772674205, uint32_t tick_ms = 100000)
        : wall_ms_(now_seconds * 1000), tick_ms_(tick_ms) {}
    uint32_t TickMs() override { return tick_ms_.load(); }
    int64_t NowSeconds() override { return wall_ms_.load() / 1000; }
    void AdvanceMs(uint32_t ms) { tick_ms_ += ms; wall_ms_ += ms; }
    void AdvanceSeconds(uint32_t s) { AdvanceMs(s * 1000u); }
    void SetNowSeconds(int64_t s) { wall_ms_ = s * 1000; }
    void SetTickMs(uint32_t t) { tick_ms_ = t; }

private:
    std::atomic<int64_t> wall_ms_;
    std::atomic<uint32_t> tick_ms_;
};

// Installs a clock for one scope (tests).
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { InstallClock(&clock); }
    ~ScopedClock() { InstallClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace pintle
