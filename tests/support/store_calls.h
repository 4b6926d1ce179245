// Calls the store's DZH formula functions in this process, as the exports
// do, on bars at given times.
#pragma once
#include <cstdint>
#include <vector>

#include "formula/call_lock.h"
#include "store/store.h"
#include "support/formula_builder.h"

namespace pintle::test {

using DzhStoreFunction = int32_t (*)(FormulaCall&, bool);

// One bar per time (the last one last), constant arguments; gives the
// result buffer (entries the call left alone read -1).
inline std::vector<double> CallDzh(DzhStoreFunction fn, bool flag, const std::vector<double>& args,
                                   const std::vector<uint32_t>& times, int16_t period = 5,
                                   const char* label = "SH600000") {
    FormulaBuilder call(static_cast<int>(times.size()), label);
    call.SetPeriod(period);
    for (std::size_t i = 0; i < times.size(); ++i) call.bar(i).time = times[i];
    for (const double a : args) call.Arg(a);
    CallLockHold hold;
    fn(*call.get(), flag);
    return call.result();
}

}  // namespace pintle::test
