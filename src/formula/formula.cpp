#include "formula/formula.h"

#include <cmath>

#include "common/text.h"
#include "formula/boundary_state.h"

namespace pintle {

bool ArgPresent(const FormulaCall& call, int number) {
    return number >= 1 && number <= 4 && call.arg_count >= number && call.args[number - 1] != nullptr;
}

float ReadArg(const FormulaCall& call, int number) {
    if (!ArgPresent(call, number)) return 0.0f;
    const FormulaArg& arg = *call.args[number - 1];
    const bool index_inside = call.current_index >= 0 && call.current_index < call.bar_count;
    if (arg.series != nullptr && index_inside) return static_cast<float>(arg.series[call.current_index]);
    return static_cast<float>(arg.value);
}

bool LastBarGate(const FormulaCall& call) {
    if (call.bar_by_bar == 0) return true;
    return static_cast<int64_t>(call.current_index) == static_cast<int64_t>(call.bar_count) - 1;
}

AssistantSelector SplitSelector(int32_t value) {
    if (value >= 10) return {value % 10, value / 10 - 1};
    return {value, -1};
}

std::wstring NormaliseCode(std::wstring text) {
    for (const wchar_t* mark : {L"sh", L"SH", L"sz", L"SZ", L"."}) {
        const std::wstring m(mark);
        for (auto pos = text.find(m); pos != std::wstring::npos; pos = text.find(m, pos)) text.erase(pos, m.size());
    }
    return text;
}

std::string NormaliseCodeBytes(std::string text) {
    for (const std::string_view mark : {"sh", "SH", "sz", "SZ", "."}) {
        for (auto pos = text.find(mark); pos != std::string::npos; pos = text.find(mark, pos)) {
            text.erase(pos, mark.size());
        }
    }
    return text;
}

std::string_view LabelText(const FormulaCall& call) { return FieldText(call.label, sizeof call.label); }

std::string_view LabelCodeText(const FormulaCall& call) {
    // A label shorter than its prefix has no code.
    const std::string_view label = LabelText(call);
    return label.size() <= 2 ? std::string_view() : label.substr(2);
}

const BarRecord* LastBar(const FormulaCall& call) {
    if (call.bar_count <= 0 || call.bars == nullptr) return nullptr;
    return &call.bars[call.bar_count - 1];
}

bool AllBarsRule(const FormulaCall& call) {
    if (Boundary().brisko_host.load()) return true;
    return LabelText(call).find('.') != std::string_view::npos;
}

void WriteResult(FormulaCall& call, float value, bool every_bar) {
    if (call.bar_count <= 0 || call.result == nullptr) return;
    const bool all = every_bar || AllBarsRule(call);
    const double v = value;
    for (int32_t i = 0; i < call.bar_count; ++i) {
        call.result[i] = (all || i == call.bar_count - 1) ? v : 0.0;
    }
}

}  // namespace pintle
