// Block lists and screening results of DZH-style formulas. The block
// functions take no call lock (the files are the terminal's); the screening
// functions hold it for their whole run.
#include "blocks/blocks.h"
#include "formula/call_lock.h"
#include "plugin/export_guard.h"
#include "plugin/exports.h"
#include "screening/screening.h"

using namespace pintle;

namespace {

template <class Body>
int32_t Unlocked(const wchar_t* name, FormulaCall* call, Body&& body) {
    return Guarded(name, 0, [&]() -> int32_t { return call == nullptr ? 0 : body(*call); });
}

int32_t Screening(const wchar_t* name, FormulaCall* call, ScreeningKind kind) {
    if (call != nullptr && StoppedBeforeLock(*call)) return 0;
    return Guarded(name, 0, [&]() -> int32_t {
        if (call == nullptr) return 0;
        CallLockHold hold;
        return ScreeningFormula(kind, *call);
    });
}

}  // namespace

extern "C" {
int32_t pintle_save2blk(FormulaCall* c) { return Unlocked(L"save2blk", c, SaveToBlockFormula); }
int32_t pintle_del2blk(FormulaCall* c) { return Unlocked(L"del2blk", c, DeleteFromBlockFormula); }
int32_t pintle_BlkCount(FormulaCall* c) { return Unlocked(L"BlkCount", c, BlockCountFormula); }
int32_t pintle_WenCai(FormulaCall* c) { return Screening(L"WenCai", c, ScreeningKind::kWenCai); }
int32_t pintle_Hot(FormulaCall* c) { return Screening(L"Hot", c, ScreeningKind::kHot); }
int32_t pintle_Ai(FormulaCall* c) { return Screening(L"Ai", c, ScreeningKind::kAi); }
}
