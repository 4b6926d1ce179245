// Calls a numbered TDX function in this process as the terminal does: a and
// b hold one value on every entry, c is the series, the output starts at -1.
// CallTdx shows the output as text: "%.9g" per entry (exact for a float),
// "qnan" for the quiet NaN 0x7FC00000, "nan?" for any other NaN.
#pragma once
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "formula/tdx_arrays.h"

namespace pintle::test {

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
