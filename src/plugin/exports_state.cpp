// Position, order and account queries and order management for DZH-style
// formulas, and the C interface for other programs in the terminal's
// process. Each holds the call lock and hands the work to state/.
#include <type_traits>

#include "formula/call_lock.h"
#include "plugin/export_guard.h"
#include "plugin/exports.h"
#include "state/state.h"

// The public header must promise what the exports are.
#define PINTLE_API
#include "pintle.h"
static_assert(std::is_same_v<decltype(&GetPosInfo), decltype(&pintle_GetPosInfo)>);
static_assert(std::is_same_v<decltype(&GetAccountInfo), decltype(&pintle_GetAccountInfo)>);
static_assert(std::is_same_v<decltype(&GetAllPositionCode), decltype(&pintle_GetAllPositionCode)>);
static_assert(std::is_same_v<decltype(&GetAllPositionCodeA), decltype(&pintle_GetAllPositionCodeA)>);
static_assert(std::is_same_v<decltype(&GetAllOrderCode), decltype(&pintle_GetAllOrderCode)>);

using namespace pintle;

namespace {

int32_t Locked(const wchar_t* name, FormulaCall* call, int32_t (*operation)(FormulaCall&)) {
    if (call != nullptr && StoppedBeforeLock(*call)) return 0;
    return Guarded(name, 0, [&]() -> int32_t {
        if (call == nullptr) return 0;
        CallLockHold hold;
        return operation(*call);
    });
}

// What a text function returns when something inside failed: never null.
constexpr wchar_t kNoText[] = L"";

}  // namespace

extern "C" {

int32_t pintle_PosInfo(FormulaCall* c) { return Locked(L"PosInfo", c, PosInfo); }
int32_t pintle_OrderInfo(FormulaCall* c) { return Locked(L"OrderInfo", c, OrderInfo); }
int32_t pintle_AccountInfo(FormulaCall* c) { return Locked(L"AccountInfo", c, AccountInfo); }
int32_t pintle_CancelOrder(FormulaCall* c) { return Locked(L"CancelOrder", c, CancelOrder); }
int32_t pintle_Enable(FormulaCall* c) { return Locked(L"Enable", c, EnableCode); }
int32_t pintle_Disable(FormulaCall* c) { return Locked(L"Disable", c, DisableCode); }
int32_t pintle_SendMessages(FormulaCall* c) { return Locked(L"SendMessages", c, SendMessagesCommand); }

float pintle_GetPosInfo(const wchar_t* code, int32_t position_selector, int32_t assistant_selector) {
    return Guarded(L"GetPosInfo", 0.0f, [&] {
        CallLockHold hold;
        return QueryPosInfo(code, position_selector, assistant_selector);
    });
}

float pintle_GetAccountInfo(const wchar_t*, int32_t account_selector, int32_t assistant_selector) {
    return Guarded(L"GetAccountInfo", 0.0f, [&] {
        CallLockHold hold;
        return QueryAccountInfo(account_selector, assistant_selector);
    });
}

const wchar_t* pintle_GetAllPositionCode(int32_t assistant_selector) {
    return Guarded(L"GetAllPositionCode", kNoText, [&] {
        CallLockHold hold;
        return QueryAllPositionCodes(assistant_selector);
    });
}

void pintle_GetAllPositionCodeA(char* buffer, int32_t size, int32_t assistant_selector) {
    Guarded(L"GetAllPositionCodeA", 0, [&] {
        CallLockHold hold;
        QueryAllPositionCodesA(buffer, size, assistant_selector);
        return 0;
    });
}

const wchar_t* pintle_GetAllOrderCode(int32_t assistant_selector, int32_t trade_kind_from_1) {
    return Guarded(L"GetAllOrderCode", kNoText, [&] {
        CallLockHold hold;
        return QueryAllOrderCodes(assistant_selector, trade_kind_from_1);
    });
}

}  // extern "C"
