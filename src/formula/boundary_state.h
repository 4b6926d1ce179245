// What the host boundary keeps for the life of the loaded library, besides
// the call lock (call_lock.h): the run mode, the host flags noted at load,
// and the two TDX settings. Zero at static construction, before the entry
// point runs. Each is one word, read and written atomically.
#pragma once
#include <atomic>
#include <cstdint>

namespace pintle {

struct BoundaryState {
    std::atomic<int32_t> run_mode{0};
    std::atomic<bool> brisko_host{false};    // terminal is Brisko.exe: results on every bar
    std::atomic<bool> halvane_host{false};   // terminal is Halvane.exe: quantity unit 1.0
    std::atomic<int32_t> tdx_selector{0};    // set by TDX function 7
    std::atomic<int32_t> hong_kong_mode{0};  // set by TDX function 42
};

BoundaryState& Boundary();

// The selector index of TDX commands and queries: the TDX selector number
// minus 1 (0 gives -1, none). Computed wide: a number of -2147483648 (function
// 7 given NaN or a value beyond an integer) stays -2147483648, the lowest
// index, instead of wrapping round to the highest.
int32_t TdxSelectorIndex();

}  // namespace pintle
