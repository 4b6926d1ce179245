#include <windows.h>

#include "common/clock.h"

namespace pintle {
namespace {

class WindowsClock : public Clock {
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

}  // namespace

Clock& SystemClock() {
    static WindowsClock clock;
    return clock;
}

}  // namespace pintle
