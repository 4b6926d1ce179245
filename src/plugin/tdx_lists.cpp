// The numbered TDX functions of the block lists (36-38), the screening
// results (35, 43, 44) and the tracing functions (16, 17). The block
// functions take no call lock; the others hold it for their whole run, TDX
// 17 even while its message box is open.
#include "blocks/blocks.h"
#include "diagnostics/diagnostics.h"
#include "formula/call_lock.h"
#include "formula/tdx_arrays.h"
#include "plugin/export_guard.h"
#include "plugin/tdx_numbered.h"
#include "screening/screening.h"

namespace pintle {
namespace {

void Screening(int32_t count, float* out, float* a, float* b, float* c, ScreeningKind kind) {
    RunTdx(L"TDX screening", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, static_cast<float>(TdxScreeningHit(kind, in.a, in.b)));
    });
}

}  // namespace

// 16: log line.
void Tdx16(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 16", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        TdxLogValue(in.a, in.b);
    });
}

// 17: message box, under the call lock.
void Tdx17(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 17", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        TdxShowValue(in.a, in.b);
    });
}

void Tdx35(int32_t k, float* o, float* a, float* b, float* c) { Screening(k, o, a, b, c, ScreeningKind::kWenCai); }
void Tdx43(int32_t k, float* o, float* a, float* b, float* c) { Screening(k, o, a, b, c, ScreeningKind::kHot); }
void Tdx44(int32_t k, float* o, float* a, float* b, float* c) { Screening(k, o, a, b, c, ScreeningKind::kAi); }

// 36, 37: add the code to / remove it from a block; 1.0 only when done.
void Tdx36(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 36", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        if (TdxAddToBlock(in.a, in.b, in.c)) FillOutput(count, out, 1.0f);
    });
}

void Tdx37(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 37", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        if (TdxRemoveFromBlock(in.a, in.b, in.c)) FillOutput(count, out, 1.0f);
    });
}

// 38: entry count of a block; a negative block number leaves the output alone.
void Tdx38(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 38", count, [&] {
        if (const auto n = TdxBlockCount(LastInputs(count, a, b, c).a)) FillOutput(count, out, static_cast<float>(*n));
    });
}

}  // namespace pintle
