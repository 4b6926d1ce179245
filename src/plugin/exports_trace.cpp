// Log and MsgBox of DZH-style formulas. Neither takes the call lock: MsgBox
// waits for the user, and other formula functions must not wait with it.
#include "diagnostics/diagnostics.h"
#include "plugin/export_guard.h"
#include "plugin/exports.h"

using namespace pintle;

extern "C" {
int32_t pintle_Log(FormulaCall* c) {
    return Guarded(L"Log", 0, [&]() -> int32_t { return c == nullptr ? 0 : LogFormula(*c); });
}
int32_t pintle_MsgBox(FormulaCall* c) {
    return Guarded(L"MsgBox", 0, [&]() -> int32_t { return c == nullptr ? 0 : MsgBoxFormula(*c); });
}
}
