// The numbered TDX functions over the assistant's state: 3 position value,
// 4 order value, 5 account figure, 6 cancel a code's orders. They use the
// current assistant as it stands and never choose another.
#include "formula/call_lock.h"
#include "formula/tdx_arrays.h"
#include "plugin/export_guard.h"
#include "plugin/tdx_numbered.h"
#include "state/state.h"

namespace pintle {
namespace {

void Query(const wchar_t* name, int32_t count, float* out, float* a, float* b, float* c,
           float (*query)(const TdxInputs&)) {
    RunTdx(name, count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, query(in));
    });
}

}  // namespace

void Tdx3(int32_t k, float* o, float* a, float* b, float* c) { Query(L"TDX 3", k, o, a, b, c, TdxPositionValue); }
void Tdx4(int32_t k, float* o, float* a, float* b, float* c) { Query(L"TDX 4", k, o, a, b, c, TdxOrderValue); }
void Tdx5(int32_t k, float* o, float* a, float* b, float* c) { Query(L"TDX 5", k, o, a, b, c, TdxAccountValue); }

void Tdx6(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 6", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        TdxCancelOrders(in);
    });
}

}  // namespace pintle
