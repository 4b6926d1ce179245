// The numbered TDX functions of dated history: 30, 31 and 32 write a value
// under a bar date and time remembered first; 33 and 34 read a series back
// onto the formula's bars. Each holds the call lock for its whole run (34
// also while a share-bonus page is fetched).
#include "formula/call_lock.h"
#include "formula/tdx_arrays.h"
#include "plugin/export_guard.h"
#include "plugin/tdx_numbered.h"
#include "store/store.h"

namespace pintle {
namespace {

// 30-32: 1.0 in every output entry when the operation says so.
void DatedWriteTdx(const wchar_t* name, int32_t count, float* out, float* a, float* b, float* c,
                   bool (*operation)(const TdxInputs&)) {
    RunTdx(name, count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        if (operation(in)) FillOutput(count, out, 1.0f);
    });
}

}  // namespace

void Tdx30(int32_t k, float* o, float* a, float* b, float* c) { DatedWriteTdx(L"TDX 30", k, o, a, b, c, TdxRememberDate); }
void Tdx31(int32_t k, float* o, float* a, float* b, float* c) { DatedWriteTdx(L"TDX 31", k, o, a, b, c, TdxRememberTime); }
void Tdx32(int32_t k, float* o, float* a, float* b, float* c) {
    DatedWriteTdx(L"TDX 32", k, o, a, b, c, TdxSetAtRememberedTime);
}
void Tdx33(int32_t k, float* o, float* a, float* b, float* c) {
    RunTdx(L"TDX 33", k, [&] {
        CallLockHold hold;
        TdxCacheBarTimes(k, o, a, b, c);
    });
}
void Tdx34(int32_t k, float* o, float* a, float* b, float* c) {
    RunTdx(L"TDX 34", k, [&] {
        CallLockHold hold;
        TdxReadDatedHistory(k, o, a, b, c);
    });
}

}  // namespace pintle
