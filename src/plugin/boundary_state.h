// What the host boundary keeps for the life of the loaded library: the call
// lock that serialises formula work across the process, the run mode, the
// host flags noted at load, and the two TDX settings. Created zero at static
// construction, before the entry point runs.
#pragma once
#include <atomic>
#include <cstdint>

#include "common/win.h"

namespace pintle {

struct BoundaryState {
    CriticalSection call_lock;
    std::atomic<int32_t> run_mode{0};
    std::atomic<bool> brisko_host{false};   // terminal is Brisko.exe: results on every bar
    std::atomic<bool> halvane_host{false};  // terminal is Halvane.exe: quantity unit 1.0
    std::atomic<int32_t> tdx_selector{0};   // set by TDX function 7
    std::atomic<int32_t> hong_kong_mode{0}; // set by TDX function 42
};

BoundaryState& Boundary();

// Holds the call lock for one scope.
class CallLockHold {
public:
    CallLockHold() : hold_(Boundary().call_lock) {}

private:
    ScopedLock hold_;
};

}  // namespace pintle
