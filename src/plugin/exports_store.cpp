// Set, Get and the ratings of DZH-style formulas: each export holds the call
// lock and hands its call to the store.
#include "formula/call_lock.h"
#include "plugin/export_guard.h"
#include "plugin/exports.h"
#include "store/store.h"

using namespace pintle;

namespace {

template <class Operation>
int32_t StoreCall(const wchar_t* name, FormulaCall* call, Operation&& operation) {
    if (call != nullptr && StoppedBeforeLock(*call)) return 0;
    return Guarded(name, 0, [&]() -> int32_t {
        if (call == nullptr) return 0;
        CallLockHold hold;
        return operation(*call);
    });
}

}  // namespace

extern "C" {
int32_t pintle_Set(FormulaCall* c) { return StoreCall(L"Set", c, [](FormulaCall& f) { return SetValue(f, false); }); }
int32_t pintle_Get(FormulaCall* c) { return StoreCall(L"Get", c, [](FormulaCall& f) { return GetValue(f, false); }); }
int32_t pintle_SetGlobal(FormulaCall* c) {
    return StoreCall(L"SetGlobal", c, [](FormulaCall& f) { return SetValue(f, true); });
}
int32_t pintle_GetGlobal(FormulaCall* c) {
    return StoreCall(L"GetGlobal", c, [](FormulaCall& f) { return GetValue(f, true); });
}
int32_t pintle_AiRating(FormulaCall* c) {
    return StoreCall(L"AiRating", c, [](FormulaCall& f) { return GetRating(f, false); });
}
int32_t pintle_AiMarketRating(FormulaCall* c) {
    return StoreCall(L"AiMarketRating", c, [](FormulaCall& f) { return GetRating(f, true); });
}
}
