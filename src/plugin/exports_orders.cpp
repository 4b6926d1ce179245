// Orders and automation commands of DZH-style formulas: each export holds
// the call lock and hands its call to the DZH command sender.
#include "assistant/assistant.h"
#include "formats/command_record.h"
#include "formula/call_lock.h"
#include "plugin/export_guard.h"
#include "plugin/exports.h"

using namespace pintle;

namespace {

int32_t LockedCommand(const wchar_t* name, FormulaCall* call, uint32_t kind, int32_t sub_kind, bool unit_1000) {
    return Guarded(name, 0, [&]() -> int32_t {
        if (call == nullptr) return 0;
        CallLockHold hold;
        return SendDzhCommand(name, kind, sub_kind, *call, unit_1000, true);
    });
}

// Small enough to sit in every export: a stopped call costs a few compares.
inline int32_t Command(const wchar_t* name, FormulaCall* call, uint32_t kind, int32_t sub_kind,
                       bool unit_1000 = false) {
    // A call without bars goes in to log why nothing was sent.
    if (call != nullptr && call->bar_count > 0 && StoppedBeforeLock(*call)) return 0;
    return LockedCommand(name, call, kind, sub_kind, unit_1000);
}

}  // namespace

extern "C" {
int32_t pintle_BUY(FormulaCall* c) { return Command(L"BUY", c, kKindOrder, 0); }
int32_t pintle_SELL(FormulaCall* c) { return Command(L"SELL", c, kKindOrder, 1); }
int32_t pintle_BUY_RZ(FormulaCall* c) { return Command(L"BUY_RZ", c, kKindOrder, 2); }
int32_t pintle_SELL_RQ(FormulaCall* c) { return Command(L"SELL_RQ", c, kKindOrder, 3); }
int32_t pintle_SELL_HK(FormulaCall* c) { return Command(L"SELL_HK", c, kKindOrder, 4); }
int32_t pintle_BUY_HQ(FormulaCall* c) { return Command(L"BUY_HQ", c, kKindOrder, 5); }
int32_t pintle_BUYKZZ(FormulaCall* c) { return Command(L"BUYKZZ", c, kKindOrder, 0, true); }
int32_t pintle_SELLKZZ(FormulaCall* c) { return Command(L"SELLKZZ", c, kKindOrder, 1, true); }
int32_t pintle_CLEARPOSITION(FormulaCall* c) { return Command(L"CLEARPOSITION", c, kKindAutomation, 0); }
int32_t pintle_START(FormulaCall* c) { return Command(L"START", c, kKindAutomation, 1); }
int32_t pintle_STOP(FormulaCall* c) { return Command(L"STOP", c, kKindAutomation, 2); }
int32_t pintle_REFRESH(FormulaCall* c) { return Command(L"REFRESH", c, kKindRefresh, 1); }
int32_t pintle_SEND_DATA(FormulaCall* c) { return Command(L"SEND_DATA", c, kKindData, 0); }
int32_t pintle_ORDERBUTTON(FormulaCall* c) { return Command(L"ORDERBUTTON", c, kKindData, 99); }
}
