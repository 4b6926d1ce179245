// FormulaCall records and TDX arrays with hostile fields: any bar count,
// current index, argument count, flags, label bytes and argument values,
// with the memory the terminal promises (bars, result buffer and series of
// the claimed bar count, arrays of the claimed TDX count, bounded here).
// The argument reader reads only inside what it was given; the result
// writer writes exactly the bar count's entries and nothing else.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "formula/boundary_state.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "fuzz_check.h"
#include "store/series_rules.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

constexpr int32_t kMaxBars = 512;

double AnyDouble(FuzzedDataProvider& c) {
    switch (c.ConsumeIntegralInRange(0, 3)) {
        case 0: return c.ConsumeFloatingPoint<double>();
        case 1: return static_cast<double>(c.ConsumeIntegral<int32_t>());
        case 2: {
            const uint64_t bits = c.ConsumeIntegral<uint64_t>();
            double v;
            std::memcpy(&v, &bits, sizeof v);
            return v;
        }
        default: return c.ConsumeIntegralInRange(-20, 120) + 0.5 * c.ConsumeIntegralInRange(0, 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider c(data, size);
    Boundary().brisko_host = c.ConsumeBool();
    Boundary().hong_kong_mode = c.ConsumeIntegralInRange(0, 1);

    // The terminal's memory: everything sized by the claimed count.
    const bool negative = c.ConsumeIntegralInRange(0, 7) == 0;
    const int32_t bars = negative ? c.ConsumeIntegralInRange(INT32_MIN, 0) : c.ConsumeIntegralInRange(0, kMaxBars);
    const std::size_t n = bars > 0 ? static_cast<std::size_t>(bars) : 0;
    auto bar_array = std::make_unique<BarRecord[]>(n);
    auto result = std::make_unique<double[]>(n + 2);  // one guard entry either side
    const double guard = 12345.678;
    for (std::size_t i = 0; i < n + 2; ++i) result[i] = guard;
    std::vector<std::unique_ptr<double[]>> series;
    FormulaArg args[4] = {};

    FormulaCall call;
    std::memset(&call, 0, sizeof call);
    const std::string label = c.ConsumeBytesAsString(20);
    std::memcpy(call.label, label.data(), label.size());
    call.bar_by_bar = c.ConsumeBool() ? c.ConsumeIntegral<int32_t>() : 0;
    call.current_index = c.ConsumeBool() ? c.ConsumeIntegral<int32_t>()
                                         : static_cast<int32_t>(std::max<int64_t>(INT32_MIN, int64_t{bars} - 1 - c.ConsumeIntegralInRange(0, 2)));
    call.period = c.ConsumeIntegral<int16_t>();
    call.bar_count = bars;
    call.bars = c.ConsumeIntegralInRange(0, 9) == 0 ? nullptr : bar_array.get();
    call.arg_count = c.ConsumeBool() ? c.ConsumeIntegralInRange(-1, 5) : c.ConsumeIntegral<int32_t>();
    for (int i = 0; i < 4; ++i) {
        if (c.ConsumeIntegralInRange(0, 5) == 0) continue;  // a null argument
        args[i].value = AnyDouble(c);
        if (n > 0 && c.ConsumeBool()) {
            series.push_back(std::make_unique<double[]>(n));
            for (std::size_t k = 0; k < n; ++k) series.back()[k] = k < 8 ? AnyDouble(c) : series.back()[k - 8];
            args[i].series = series.back().get();
        }
        call.args[i] = &args[i];
    }
    const bool with_result = c.ConsumeIntegralInRange(0, 9) != 0;
    call.result = with_result ? result.get() + 1 : nullptr;
    for (std::size_t i = 0; i < n; ++i) {
        bar_array[i].time = c.remaining_bytes() ? c.ConsumeIntegral<uint32_t>() : static_cast<uint32_t>(1700000000 + 60 * i);
        bar_array[i].close = static_cast<float>(AnyDouble(c));
    }

    for (int number = -1; number <= 6; ++number) {
        const float v = ReadArg(call, number);
        const int32_t whole = TruncateToInt(v);
        FUZZ_CHECK(std::isnan(v) || std::fabs(v) >= 2147483648.0f ? whole == kIntOverflow
                                                                  : whole == static_cast<int32_t>(v));
        const AssistantSelector sel = SplitSelector(whole);
        if (whole >= 10) FUZZ_CHECK(sel.assistant >= 0 && sel.assistant <= 9 && sel.index >= 0);
        const TdxCodeKey key = SplitTdxCodeText(TdxCodeText(v), Boundary().hong_kong_mode != 0);
        SplitKeyNumber(key.p);
        MapTimeSlot(whole);
        SetPeriod(call.period, whole);
    }
    LastBarGate(call);
    FUZZ_CHECK(LabelText(call).size() <= 20 && LabelCodeText(call).size() <= 18);
    NormaliseCodeBytes(std::string(LabelText(call)));
    const BarRecord* last = LastBar(call);
    FUZZ_CHECK(last == nullptr || (n > 0 && last == &bar_array[n - 1]));

    const float value = static_cast<float>(AnyDouble(c));
    WriteResult(call, value, c.ConsumeBool());
    FUZZ_CHECK(result[0] == guard && result[n + 1] == guard);
    if (with_result && n > 0) {
        const double v = value;
        FUZZ_CHECK(std::isnan(v) ? std::isnan(result[n]) : result[n] == v);
    }

    // The TDX side: arrays of the claimed count, the inputs at its last index.
    const int32_t count = c.ConsumeBool() ? c.ConsumeIntegralInRange(-3, 64) : INT32_MIN;
    const std::size_t m = count > 0 ? static_cast<std::size_t>(count) : 0;
    std::vector<float> out(m + 2, 7.0f), a(m), b(m), in_c(m);
    for (std::size_t i = 0; i < m; ++i) a[i] = b[i] = in_c[i] = static_cast<float>(i);
    const TdxInputs inputs = LastInputs(count, m ? a.data() : nullptr, c.ConsumeBool() ? b.data() : nullptr, in_c.data());
    if (m > 0) FUZZ_CHECK(inputs.a == static_cast<float>(m - 1));
    FillOutput(count, out.data() + 1, inputs.c);
    FUZZ_CHECK(out[0] == 7.0f && out[m + 1] == 7.0f);
    return 0;
}
