// No C++ exception may reach the terminal: every export runs its body
// through Guarded, which logs and returns the export's failure value.
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

}  // namespace pintle
