// Calls formula functions in this process as a terminal does.
//
// CallOnLastBar: an export on `bars` bars of `label` with constant arguments;
// the result on the last bar. CallDzh: one of the store's DZH functions on
// one bar per time (the last one last), under the call lock as the exports
// hold it; the result buffer (entries the call left alone read -1).
// RunTdx: a numbered TDX function, a and b one value on every entry, c the
// series, the output starting at -1. CallTdx shows that output as text:
// "%.9g" per entry (exact for a float), "qnan" for the quiet NaN 0x7FC00000,
// "nan?" for any other NaN.
#pragma once
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "formula/call_lock.h"
#include "formula/tdx_arrays.h"
#include "store/store.h"
#include "support/formula_builder.h"

namespace pintle::test {

template <class Fn>
double CallOnLastBar(Fn fn, const char* label, std::initializer_list<double> args, int bars = 3) {
    FormulaBuilder f(bars, label);
    for (const double a : args) f.Arg(a);
    fn(f.get());
    return f.result().back();
}

using DzhStoreFunction = int32_t (*)(FormulaCall&, bool);

inline std::vector<double> CallDzh(DzhStoreFunction fn, bool flag, const std::vector<double>& args,
                                   const std::vector<uint32_t>& times, int16_t period = 5,
                                   const char* label = "SH600000") {
    FormulaBuilder call(static_cast<int>(times.size()), label);
    call.SetPeriod(period);
    for (std::size_t i = 0; i < times.size(); ++i) call.bar(i).time = times[i];
    for (const double a : args) call.Arg(a);
    CallLockHold hold;
    fn(*call.get(), flag);
    return call.result();
}

inline std::vector<float> RunTdx(TdxFunction fn, float a, float b, std::vector<float> c) {
    std::vector<float> in_a(c.size(), a), in_b(c.size(), b), out(c.size(), -1.0f);
    fn(static_cast<int32_t>(c.size()), out.data(), in_a.data(), in_b.data(), c.data());
    return out;
}

inline std::string CallTdx(TdxFunction fn, float a, float b, std::vector<float> c) {
    std::string text;
    for (const float v : RunTdx(fn, a, b, std::move(c))) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.9g", v);
        text += (text.empty() ? "" : " ") +
                std::string(std::isnan(v) ? (std::bit_cast<uint32_t>(v) == 0x7FC00000u ? "qnan" : "nan?") : buf);
    }
    return text;
}

}  // namespace pintle::test
