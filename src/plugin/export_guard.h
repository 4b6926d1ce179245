// No C++ exception may reach the terminal: every export runs its body
// through Guarded, which logs and returns the export's failure value; every
// numbered TDX function runs its body through RunTdx.
#pragma once
#include <cstdint>

#include "formula/formula.h"
#include "log/plugin_log.h"

namespace pintle {

template <class Result, class Body>
Result Guarded(const wchar_t* export_name, Result on_failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        try {
            PluginLog::Instance().WriteFormatted(L"Pintle.dll %s: 内部错误, 本次调用被忽略", {export_name});
        } catch (...) {
        }
        return on_failure;
    }
}

// The last-bar gate, asked before the call lock. A bar-by-bar call on a bar
// before the last does nothing at all, and the gate reads nothing but the
// caller's own record: answered without the lock, the commonest call (every
// bar of every chart) never waits behind another thread's send. The
// function asks the gate again inside, as before.
inline bool StoppedBeforeLock(const FormulaCall& call) { return !LastBarGate(call); }

// Runs a numbered function's body unless the count is 0 or less (then the
// function does nothing at all), and keeps every exception inside.
template <class Body>
void RunTdx(const wchar_t* name, int32_t count, Body&& body) noexcept {
    if (count <= 0) return;
    Guarded(name, 0, [&] {
        body();
        return 0;
    });
}

}  // namespace pintle
