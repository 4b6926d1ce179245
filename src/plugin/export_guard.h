// No C++ exception may reach the terminal: every export runs its body
// through Guarded, which logs and returns the export's failure value; every
// numbered TDX function runs its body through RunTdx.
#pragma once
#include <cstdint>

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
