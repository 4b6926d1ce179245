// The DZH command sender: turns a DZH-style formula call into a
// CommandRecord for the assistant. Called with the call lock held.
#pragma once
#include <cstdint>
#include <string_view>

#include "plugin/formula_call.h"

namespace pintle {

// Always returns 0 (what the command exports return).
int32_t SendDzhCommand(uint32_t kind, int32_t sub_kind, FormulaCall& call, bool unit_1000, bool write_results);

// Forwards a stored value to the assistant (kind 3 with a slot as sub-kind);
// returns 1.
int32_t SendValueCommand(std::string_view code, int32_t sub_kind, int32_t integer, float value);

// 市场情绪 in GBK: the code text of the market sentiment rating.
inline constexpr char kMarketSentimentGbk[] = "\xCA\xD0\xB3\xA1\xC7\xE9\xD0\xF7";

}  // namespace pintle
