// The numbered TDX functions over the store: Set and Get per code (24, 25)
// and global (26, 27), and the two ratings (45, 46). Each reads the inputs at
// the last index, holds the call lock while the store works and fills the
// output with one value.
#include "formula/call_lock.h"
#include "formula/tdx_arrays.h"
#include "plugin/export_guard.h"
#include "plugin/tdx_numbered.h"
#include "store/store.h"

namespace pintle {
namespace {

template <class Operation>
void StoreTdx(const wchar_t* name, int32_t count, float* out, float* a, float* b, float* c, Operation&& operation) {
    RunTdx(name, count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        float value = 0.0f;
        {
            CallLockHold hold;
            value = operation(in);
        }
        FillOutput(count, out, value);
    });
}

}  // namespace

void Tdx24(int32_t k, float* o, float* a, float* b, float* c) {
    StoreTdx(L"TDX 24", k, o, a, b, c, [](const TdxInputs& in) { return TdxSetValue(in, false); });
}
void Tdx25(int32_t k, float* o, float* a, float* b, float* c) {
    StoreTdx(L"TDX 25", k, o, a, b, c, [](const TdxInputs& in) { return TdxGetValue(in, false); });
}
void Tdx26(int32_t k, float* o, float* a, float* b, float* c) {
    StoreTdx(L"TDX 26", k, o, a, b, c, [](const TdxInputs& in) { return TdxSetValue(in, true); });
}
void Tdx27(int32_t k, float* o, float* a, float* b, float* c) {
    StoreTdx(L"TDX 27", k, o, a, b, c, [](const TdxInputs& in) { return TdxGetValue(in, true); });
}
void Tdx45(int32_t k, float* o, float* a, float* b, float* c) {
    StoreTdx(L"TDX 45", k, o, a, b, c, [](const TdxInputs& in) { return TdxGetRating(in, false); });
}
void Tdx46(int32_t k, float* o, float* a, float* b, float* c) {
    StoreTdx(L"TDX 46", k, o, a, b, c, [](const TdxInputs& in) { return TdxGetRating(in, true); });
}

}  // namespace pintle
