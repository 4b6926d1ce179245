// Builds FormulaCall records the way a terminal fills them, for in-process
// tests of the export functions.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "formula/formula_call.h"

namespace pintle::test {

class FormulaBuilder {
public:
    // Bars one minute apart from 1700000000, closing at 10, 11, ...; the
    // result buffer all -1.
    explicit FormulaBuilder(int bars = 3, const char* label = "SH600000")
        : bars_(static_cast<std::size_t>(bars > 0 ? bars : 0)), result_(bars_.size(), -1.0) {
        std::memset(&call_, 0, sizeof call_);
        SetLabel(label);
        for (std::size_t i = 0; i < bars_.size(); ++i) {
            bars_[i].time = 1700000000u + 60u * static_cast<uint32_t>(i);
            bars_[i].close = 10.0f + static_cast<float>(i);
        }
        call_.bar_count = bars;
        call_.current_index = bars - 1;
    }
    FormulaBuilder& SetLabel(const char* label) {
        std::memset(call_.label, 0, sizeof call_.label);
        std::memcpy(call_.label, label, std::min(std::strlen(label), sizeof call_.label));
        return *this;
    }
    FormulaBuilder& SetBarByBar(int flag, int index) {
        call_.bar_by_bar = flag;
        call_.current_index = index;
        return *this;
    }
    FormulaBuilder& SetPeriod(int16_t p) {
        call_.period = p;
        return *this;
    }
    FormulaBuilder& Arg(double value) { return AddArg(value, {}); }
    FormulaBuilder& ArgSeries(double constant, std::vector<double> series) { return AddArg(constant, std::move(series)); }
    FormulaBuilder& NullArg() {
        call_.args[call_.arg_count] = nullptr;
        ++call_.arg_count;
        return *this;
    }
    BarRecord& bar(std::size_t i) { return bars_[i]; }
    std::vector<double>& result() { return result_; }

    // The record, with its pointers refreshed (vectors may have moved).
    FormulaCall* get() {
        call_.bars = bars_.empty() ? nullptr : bars_.data();
        call_.result = result_.empty() ? nullptr : result_.data();
        for (int i = 0; i < 4; ++i) {
            if (call_.args[i] == nullptr) continue;
            args_[i].series = series_[i].empty() ? nullptr : series_[i].data();
            call_.args[i] = &args_[i];
        }
        return &call_;
    }
    FormulaCall& raw() { return call_; }

private:
    FormulaBuilder& AddArg(double value, std::vector<double> series) {
        const int i = call_.arg_count;
        args_[i].value = value;
        series_[i] = std::move(series);
        call_.args[i] = &args_[i];
        ++call_.arg_count;
        return *this;
    }

    FormulaCall call_;
    FormulaArg args_[4] = {};
    std::vector<double> series_[4];
    std::vector<BarRecord> bars_;
    std::vector<double> result_;
};

}  // namespace pintle::test
