// TDX commands: the short-lived price override, the TDX order and command
// wrappers and the TDX data command (the TDX command sender itself is in
// assistant.h). Called with the call lock held.
#pragma once
#include <cstdint>
#include <string>

#include "assistant/assistant.h"
#include "formula/tdx_arrays.h"

namespace pintle {

// The TDX command sender itself is offered in assistant/assistant.h.

// TDX function 15: the next order of that code on that side within 200 ms
// carries this price.
void SetPriceOverride(int32_t key, bool sell_side, float price);
void ClearPriceOverride(bool sell_side);

// TDX function 23: data command (kind 99).
void SendTdxData(float code_number, float in_b, float in_c);

// A TDX order (functions 1, 2, 19-22, 28, 29) on the inputs at the last
// index: sends it, then clears the override of its side. `marks_order`
// notes the order for the 999997 marker. Gives the output value (1 sent,
// 0 dropped).
enum class OrderSide { Buy, Sell };
float RunTdxOrder(const wchar_t* function, const TdxInputs& in, int32_t sub_kind, bool unit_1000, bool marks_order,
                  OrderSide clears);

// A TDX control or management command (functions 9-14, 18).
void RunTdxCommand(const wchar_t* function, const TdxInputs& in, int32_t kind, int32_t sub_kind);

// TDX function 7: the TDX selector number, and the assistant when it differs.
void ChooseTdxAssistant(int32_t number, int32_t selector);

constexpr uint32_t kPriceOverrideMs = 200;

}  // namespace pintle
