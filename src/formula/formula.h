// The rules every DZH-style export shares: reading arguments, the last-bar
// gate, the assistant selector, code normalisation and writing results.
// Byte-level: the record is untrusted input from a closed host, so nothing
// here reads outside what the record gives.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "formula/formula_call.h"

namespace pintle {

// Float to int by truncation toward zero; NaN and values outside int32
// become INT32_MIN, which the command functions reject as overflow. Inline:
// a TDX function truncates once per bar.
constexpr int32_t kIntOverflow = INT32_MIN;
inline int32_t TruncateToInt(float value) {
    if (std::isnan(value) || value >= 2147483648.0f || value < -2147483648.0f) return kIntOverflow;
    return static_cast<int32_t>(value);
}

bool ArgPresent(const FormulaCall& call, int number);
// Argument 1..4 at the current bar, as a float; 0 when absent. A series is
// read only when the current index lies inside the bars; otherwise the
// argument's constant is used.
float ReadArg(const FormulaCall& call, int number);

// False when the bar-by-bar flag is set and the current bar is not the last:
// the function must then return 0 and write nothing.
bool LastBarGate(const FormulaCall& call);

struct AssistantSelector {
    int32_t assistant;  // the last decimal digit
    int32_t index;      // the digits above it minus 1; -1 for none
};
AssistantSelector SplitSelector(int32_t value);

// Removes every "sh", "SH", "sz", "SZ" and "." (in that order, each over the
// whole text). Mixed case such as "Sh" stays.
std::wstring NormaliseCode(std::wstring text);
// The same rule on the label's narrow bytes as they stand, with no code-page
// conversion.
std::string NormaliseCodeBytes(std::string text);

// The label (offset 12) up to its zero byte, at most 20 bytes.
std::string_view LabelText(const FormulaCall& call);
// The label without its two-letter prefix (offset 14), at most 18 bytes.
std::string_view LabelCodeText(const FormulaCall& call);

// The last bar, or null when there are no bars to read.
const BarRecord* LastBar(const FormulaCall& call);

// True when every bar gets the value: the Brisko host, or a dotted label.
bool AllBarsRule(const FormulaCall& call);

// Writes the value on the last bar, and on the other bars too when
// `every_bar` is set or the all-bars rule holds (else 0.0 there).
void WriteResult(FormulaCall& call, float value, bool every_bar);

}  // namespace pintle
