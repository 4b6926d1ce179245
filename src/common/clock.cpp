#include "common/clock.h"

#include <atomic>

namespace pintle {
namespace {

std::atomic<Clock*> g_installed{nullptr};

Clock& Current() {
    Clock* c = g_installed.load();
    return c ? *c : SystemClock();
}

}  // namespace

uint32_t TickMs() { return Current().TickMs(); }
int64_t NowSeconds() { return Current().NowSeconds(); }
void InstallClock(Clock* clock) { g_installed.store(clock); }

}  // namespace pintle
