// The numbered TDX functions and the table RegisterTdxFunc hands out. Each
// function is a few lines: read the inputs at the last index, hold the call
// lock, hand the work to its subsystem, fill the output.
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
#include "plugin/tdx_table.h"

namespace pintle {
namespace {

// Runs a numbered function's body unless the count is 0 or less, and keeps
// every exception inside.
template <class Body>
void Tdx(const wchar_t* name, int32_t count, Body&& body) {
    if (count <= 0) return;
    Guarded(name, 0, [&] {
        body();
        return 0;
    });
}

// Numbers whose work is not part of this build leave the output alone.
void NotAvailable(int32_t, float*, float*, float*, float*) {}

// Orders (1, 2, 19-22, 28, 29).
void Order(int32_t count, float* out, float* a, float* b, float* c, int32_t sub_kind, bool unit_1000, bool marks_order,
           OrderSide clears) {
    Tdx(L"TDX order", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, RunTdxOrder(in, sub_kind, unit_1000, marks_order, clears));
    });
}

// Control and management commands (9-14, 18): the output is 1.0 whatever
// becomes of the command.
void Command(int32_t count, float* out, float* a, float* b, float* c, int32_t kind, int32_t sub_kind) {
    Tdx(L"TDX command", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        RunTdxCommand(in, kind, sub_kind);
    });
}

void Marker(int32_t count, float* out, float* a, float* b, float* c, int32_t marker) {
    Tdx(L"TDX marker", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        SendQuoteMarker(count, out, in.a, in.b, in.c, marker);
    });
}

#define TDX_ORDER(n, sub, unit, marks, side) \
    void F##n(int32_t k, float* o, float* a, float* b, float* c) { Order(k, o, a, b, c, sub, unit, marks, OrderSide::side); }
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
    void F##n(int32_t k, float* o, float* a, float* b, float* c) { Command(k, o, a, b, c, kind, sub); }
TDX_COMMAND(9, kKindAutomation, 0)
TDX_COMMAND(10, kKindOrderManagement, 1)
TDX_COMMAND(11, kKindOrderManagement, 2)
TDX_COMMAND(12, kKindAutomation, 1)
TDX_COMMAND(13, kKindAutomation, 2)
TDX_COMMAND(14, kKindRefresh, 1)
TDX_COMMAND(18, kKindMessages, 1)
#undef TDX_COMMAND

// 7: choose the assistant and the TDX selector number.
void F7(int32_t count, float* out, float* a, float* b, float* c) {
    Tdx(L"TDX 7", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        ChooseTdxAssistant(TruncateToInt(in.a), TruncateToInt(in.b));
    });
}

// 8: single quote.
void F8(int32_t count, float* out, float* a, float* b, float* c) {
    Tdx(L"TDX 8", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        SendTdxSingleQuote(in.a, in.b, in.c);
        FillOutput(count, out, in.b);
    });
}

// 15: price override for the next order of the code.
void F15(int32_t count, float* out, float* a, float* b, float* c) {
    Tdx(L"TDX 15", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        SetPriceOverride(TruncateToInt(in.a), TruncateToInt(in.b) != 0, in.c);
        FillOutput(count, out, 1.0f);
    });
}

// 23: data command.
void F23(int32_t count, float* out, float* a, float* b, float* c) {
    Tdx(L"TDX 23", count, [&] {
        const TdxInputs in = LastInputs(count, a, b, c);
        CallLockHold hold;
        FillOutput(count, out, 1.0f);
        SendTdxData(in.a, in.b, in.c);
    });
}

void F39(int32_t k, float* o, float* a, float* b, float* c) { Marker(k, o, a, b, c, kQuoteMarkerPush); }
void F40(int32_t k, float* o, float* a, float* b, float* c) { Marker(k, o, a, b, c, kQuoteMarker998); }
void F41(int32_t k, float* o, float* a, float* b, float* c) { Marker(k, o, a, b, c, kQuoteMarker997); }

// 42: Hong Kong mode, without a lock: one 32-bit word.
void F42(int32_t count, float*, float* a, float* b, float* c) {
    if (count <= 0) return;
    Boundary().hong_kong_mode = TruncateToInt(LastInputs(count, a, b, c).a);
}

}  // namespace

const TdxTableEntry kTdxTable[kTdxFunctionCount + 1] = {
    {1, F1},   {2, F2},   {3, NotAvailable},  {4, NotAvailable},  {5, NotAvailable},  {6, NotAvailable},
    {7, F7},   {8, F8},   {9, F9},   {10, F10}, {11, F11}, {12, F12}, {13, F13}, {14, F14}, {15, F15},
    {16, NotAvailable}, {17, NotAvailable}, {18, F18}, {19, F19}, {20, F20}, {21, F21}, {22, F22}, {23, F23},
    {24, NotAvailable}, {25, NotAvailable}, {26, NotAvailable}, {27, NotAvailable}, {28, F28}, {29, F29},
    {30, NotAvailable}, {31, NotAvailable}, {32, NotAvailable}, {33, NotAvailable}, {34, NotAvailable},
    {35, NotAvailable}, {36, NotAvailable}, {37, NotAvailable}, {38, NotAvailable}, {39, F39}, {40, F40},
    {41, F41}, {42, F42}, {43, NotAvailable}, {44, NotAvailable}, {45, NotAvailable}, {46, NotAvailable},
    {0, nullptr},
};

}  // namespace pintle

using namespace pintle;

extern "C" int32_t pintle_RegisterTdxFunc(void** table) {
    if (table == nullptr || *table != nullptr) return 0;
    *table = const_cast<TdxTableEntry*>(kTdxTable);
    return 1;
}
