// RUNMODE, SETRUNMODE and the names kept for old formulas that do nothing.
#include "formula/boundary_state.h"
#include "formula/call_lock.h"
#include "formula/formula.h"
#include "plugin/export_guard.h"
#include "plugin/exports.h"

using namespace pintle;

extern "C" int32_t pintle_RUNMODE(FormulaCall*) { return Boundary().run_mode.load(); }

extern "C" int32_t pintle_SETRUNMODE(FormulaCall* call) {
    return Guarded(L"SETRUNMODE", 0, [&]() -> int32_t {
        if (call == nullptr || !LastBarGate(*call)) return 0;
        Boundary().run_mode.store(0);
        return 0;
    });
}

extern "C" int32_t pintle_SetSellCondition(FormulaCall*) {
    CallLockHold hold;
    return 0;
}

extern "C" int32_t pintle_NoOperation(FormulaCall*) { return 0; }
