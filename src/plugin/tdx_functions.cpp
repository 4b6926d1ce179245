// The numbered TDX functions that talk to the assistant: orders, commands,
// quotes and markers, the assistant choice and Hong Kong mode. Each is a few
// lines: read the inputs at the last index, hold the call lock, hand the work
// to the assistant link, fill the output.
#include "assistant/quotes.h"
#include "assistant/tdx_sender.h"
#include "formats/command_record.h"
#include "formats/quote_entry.h"
#include "formula/boundary_state.h"
#include "formula/call_lock.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "plugin/export_guard.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"

namespace pintle {
namespace {

// Orders (1, 2, 19-22, 28, 29).
void Order(const wchar_t* name, int32_t count, float* out, float* a, float* b, float* c, int32_t sub_kind,
           bool unit_1000, bool marks_order, OrderSide clears) {
    RunTdx(L"TDX order", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, RunTdxOrder(name, in, sub_kind, unit_1000, marks_order, clears));
    });
}

// Control and management commands (9-14, 18): the output is 1.0 whatever
// becomes of the command.
void Command(const wchar_t* name, int32_t count, float* out, float* a, float* b, float* c, int32_t kind,
             int32_t sub_kind) {
    RunTdx(L"TDX command", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        RunTdxCommand(name, in, kind, sub_kind);
    });
}

void Marker(int32_t count, float* out, float* a, float* b, float* c, int32_t marker) {
    RunTdx(L"TDX marker", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        SendQuoteMarker(count, out, in.a, in.b, in.c, marker);
    });
}

}  // namespace

#define TDX_ORDER(n, sub, unit, marks, side) \
    void Tdx##n(int32_t k, float* o, float* a, float* b, float* c) { \
        Order(L"TDXDLL1(" #n, k, o, a, b, c, sub, unit, marks, OrderSide::side); \
    }
TDX_ORDER(1, 0, false, true, Buy)
TDX_ORDER(2, 1, false, true, Sell)
TDX_ORDER(19, 2, false, true, Buy)
TDX_ORDER(20, 3, false, true, Sell)
TDX_ORDER(21, 4, false, true, Buy)
TDX_ORDER(22, 5, false, true, Buy)
TDX_ORDER(28, 0, true, false, Buy)
TDX_ORDER(29, 1, true, false, Sell)
#undef TDX_ORDER

#define TDX_COMMAND(n, kind, sub) \
    void Tdx##n(int32_t k, float* o, float* a, float* b, float* c) { Command(L"TDXDLL1(" #n, k, o, a, b, c, kind, sub); }
TDX_COMMAND(9, kKindAutomation, 0)
TDX_COMMAND(10, kKindOrderManagement, 1)
TDX_COMMAND(11, kKindOrderManagement, 2)
TDX_COMMAND(12, kKindAutomation, 1)
TDX_COMMAND(13, kKindAutomation, 2)
TDX_COMMAND(14, kKindRefresh, 1)
TDX_COMMAND(18, kKindMessages, 1)
#undef TDX_COMMAND

// 7: choose the assistant and the TDX selector number.
void Tdx7(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 7", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        ChooseTdxAssistant(TruncateToInt(in.a), TruncateToInt(in.b));
    });
}

// 8: single quote.
void Tdx8(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 8", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        SendTdxSingleQuote(in.a, in.b, in.c);
        FillOutput(count, out, in.b);
    });
}

// 15: price override for the next order of the code.
void Tdx15(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 15", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        SetPriceOverride(TruncateToInt(in.a), TruncateToInt(in.b) != 0, in.c);
        FillOutput(count, out, 1.0f);
    });
}

// 23: data command.
void Tdx23(int32_t count, float* out, float* a, float* b, float* c) {
    RunTdx(L"TDX 23", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        SendTdxData(in.a, in.b, in.c);
    });
}

void Tdx39(int32_t k, float* o, float* a, float* b, float* c) { Marker(k, o, a, b, c, kQuoteMarkerPush); }
void Tdx40(int32_t k, float* o, float* a, float* b, float* c) { Marker(k, o, a, b, c, kQuoteMarker998); }
void Tdx41(int32_t k, float* o, float* a, float* b, float* c) { Marker(k, o, a, b, c, kQuoteMarker997); }

// 42: Hong Kong mode, without a lock: one 32-bit word.
void Tdx42(int32_t count, float*, float* a, float* b, float* c) {
    if (count <= 0) return;
    Boundary().hong_kong_mode = TruncateToInt(LastInputs(count, a, b, c).a);
}

}  // namespace pintle

