// What the assistant-state subsystem offers: the position, order and account
// queries of DZH-style formulas, TDX formulas and outside programs, and the
// order-management commands that depend on them. Every operation here runs
// with the call lock held (the exports take it, the C interface too).
//
// Choosing the assistant: the DZH-style operations and the C interface make
// the assistant of their selector current, for every later call of the
// process (TDX orders included); the TDX operations use the current one.
#pragma once
#include <cstdint>

#include "formula/formula_call.h"
#include "formula/tdx_arrays.h"

namespace pintle {

// DZH-style formulas. Each returns what its export returns.
int32_t PosInfo(FormulaCall& call);       // 1 position selector, 2 assistant selector, 3 every bar when > 0.2
int32_t OrderInfo(FormulaCall& call);     // 1 trade kind, 2 order selector, 3 assistant selector, 4 filter value
int32_t AccountInfo(FormulaCall& call);   // 1 account selector, 2 assistant selector, 3 every bar when 1.0
int32_t CancelOrder(FormulaCall& call);   // 1 trade kind counted from 1, 2 assistant selector, 3 filter value
int32_t EnableCode(FormulaCall& call);    // kind 3, sub-kind 1
int32_t DisableCode(FormulaCall& call);   // kind 3, sub-kind 2
int32_t SendMessagesCommand(FormulaCall& call);  // kind 11; assistant selector in argument 3

// TDX formulas 3 to 6, on the inputs at the last index; the value for every
// output entry.
float TdxPositionValue(const TdxInputs& in);  // a code, b position selector
float TdxOrderValue(const TdxInputs& in);     // a code, b trade kind, c order selector
float TdxAccountValue(const TdxInputs& in);   // a account selector
void TdxCancelOrders(const TdxInputs& in);    // a code, b trade kind counted from 1, c quantity

// The C interface (include/pintle.h). The texts live in this subsystem's
// state until the next call of the same function or unload.
float QueryPosInfo(const wchar_t* code, int32_t selector, int32_t assistant_selector);
float QueryAccountInfo(int32_t selector, int32_t assistant_selector);
const wchar_t* QueryAllPositionCodes(int32_t assistant_selector);
void QueryAllPositionCodesA(char* buffer, int32_t size, int32_t assistant_selector);
const wchar_t* QueryAllOrderCodes(int32_t assistant_selector, int32_t kind_from_1);

// Frees the two texts (unload), and gives tests a clean slate.
void ResetStateQueries();

}  // namespace pintle
