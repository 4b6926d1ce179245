// The machine's clock for the native build: the steady clock for ticks, the
// system clock for wall time.
#include <chrono>

#include "common/clock.h"

namespace pintle {
namespace {

class NativeClock : public Clock {
public:
    uint32_t TickMs() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    int64_t NowSeconds() override {
        const auto since = std::chrono::system_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::seconds>(since).count();
    }
};

}  // namespace

Clock& SystemClock() {
    static NativeClock clock;
    return clock;
}

}  // namespace pintle
