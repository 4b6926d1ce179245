// The functions behind the exported names. The names the terminals call are
// given to them in Pintle.def, from the table in export_table.cpp.
#pragma once
#include <cstdint>

#include "plugin/formula_call.h"

extern "C" {

using pintle_FormulaFn = int32_t (*)(pintle::FormulaCall*);

// Run mode and no-operation names.
int32_t pintle_RUNMODE(pintle::FormulaCall* call);
int32_t pintle_SETRUNMODE(pintle::FormulaCall* call);
int32_t pintle_SetSellCondition(pintle::FormulaCall* call);
int32_t pintle_NoOperation(pintle::FormulaCall* call);

}  // extern "C"
