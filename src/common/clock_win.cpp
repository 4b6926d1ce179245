#include "common/clock.h"

#include <windows.h>

namespace pintle {
namespace {

class SystemClock : public Clock {
public:
    uint32_t TickMs() override { return static_cast<uint32_t>(GetTickCount()); }
    int64_t NowSeconds() override {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        const uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
        // FILETIME counts 100 ns from 1601-01-01.
        return static_cast<int64_t>(t / 10000000ULL) - 11644473600LL;
    }
};

SystemClock g_system_clock;
std::atomic<Clock*> g_installed{nullptr};

Clock& Current() {
    Clock* c = g_installed.load();
    return c ? *c : g_system_clock;
}

}  // namespace

uint32_t TickMs() { return Current().TickMs(); }
int64_t NowSeconds() { return Current().NowSeconds(); }
void InstallClock(Clock* clock) { g_installed.store(clock); }

}  // namespace pintle
