// The functions behind the exported names. The names the terminals call are
// given to them in Pintle.def, from the table in export_table.cpp.
#pragma once
#include <cstdint>

#include "formula/formula_call.h"

extern "C" {

using pintle_FormulaFn = int32_t (*)(pintle::FormulaCall*);

// Run mode and no-operation names.
int32_t pintle_RUNMODE(pintle::FormulaCall* call);
int32_t pintle_SETRUNMODE(pintle::FormulaCall* call);
int32_t pintle_SetSellCondition(pintle::FormulaCall* call);
int32_t pintle_NoOperation(pintle::FormulaCall* call);

// Orders and automation commands (DZH command sender).
int32_t pintle_BUY(pintle::FormulaCall* call);
int32_t pintle_SELL(pintle::FormulaCall* call);
int32_t pintle_BUY_RZ(pintle::FormulaCall* call);
int32_t pintle_SELL_RQ(pintle::FormulaCall* call);
int32_t pintle_SELL_HK(pintle::FormulaCall* call);
int32_t pintle_BUY_HQ(pintle::FormulaCall* call);
int32_t pintle_BUYKZZ(pintle::FormulaCall* call);
int32_t pintle_SELLKZZ(pintle::FormulaCall* call);
int32_t pintle_CLEARPOSITION(pintle::FormulaCall* call);
int32_t pintle_START(pintle::FormulaCall* call);
int32_t pintle_STOP(pintle::FormulaCall* call);
int32_t pintle_REFRESH(pintle::FormulaCall* call);
int32_t pintle_SEND_DATA(pintle::FormulaCall* call);
int32_t pintle_ORDERBUTTON(pintle::FormulaCall* call);

// Quotes.
int32_t pintle_SENDQUOTE(pintle::FormulaCall* call);
int32_t pintle_SendQuote(pintle::FormulaCall* call);

// Position, order and account queries; order management.
int32_t pintle_PosInfo(pintle::FormulaCall* call);
int32_t pintle_OrderInfo(pintle::FormulaCall* call);
int32_t pintle_AccountInfo(pintle::FormulaCall* call);
int32_t pintle_CancelOrder(pintle::FormulaCall* call);
int32_t pintle_Enable(pintle::FormulaCall* call);
int32_t pintle_Disable(pintle::FormulaCall* call);
int32_t pintle_SendMessages(pintle::FormulaCall* call);

// The C interface for other programs (include/pintle.h gives their names).
float pintle_GetPosInfo(const wchar_t* code, int32_t position_selector, int32_t assistant_selector);
float pintle_GetAccountInfo(const wchar_t* code, int32_t account_selector, int32_t assistant_selector);
const wchar_t* pintle_GetAllPositionCode(int32_t assistant_selector);
void pintle_GetAllPositionCodeA(char* buffer, int32_t size, int32_t assistant_selector);
const wchar_t* pintle_GetAllOrderCode(int32_t assistant_selector, int32_t trade_kind_from_1);

// Stored values and ratings (the key/value store).
int32_t pintle_Set(pintle::FormulaCall* call);
int32_t pintle_Get(pintle::FormulaCall* call);
int32_t pintle_SetGlobal(pintle::FormulaCall* call);
int32_t pintle_GetGlobal(pintle::FormulaCall* call);
int32_t pintle_AiRating(pintle::FormulaCall* call);
int32_t pintle_AiMarketRating(pintle::FormulaCall* call);

// Block lists, screening results, Log and MsgBox.
int32_t pintle_save2blk(pintle::FormulaCall* call);
int32_t pintle_del2blk(pintle::FormulaCall* call);
int32_t pintle_BlkCount(pintle::FormulaCall* call);
int32_t pintle_WenCai(pintle::FormulaCall* call);
int32_t pintle_Hot(pintle::FormulaCall* call);
int32_t pintle_Ai(pintle::FormulaCall* call);
int32_t pintle_Log(pintle::FormulaCall* call);
int32_t pintle_MsgBox(pintle::FormulaCall* call);

// The TDX terminal's one entry: hands over the table of numbered functions.
int32_t pintle_RegisterTdxFunc(void** table);

}  // extern "C"
