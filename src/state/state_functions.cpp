// The queries and order-management commands as the three kinds of caller
// see them: DZH-style formulas (arguments from the FormulaCall, results
// through the result writer), TDX formulas (the current assistant, the TDX
// selector number) and outside programs (the C interface).
#include <algorithm>
#include <cstring>

#include "assistant/assistant.h"
#include "common/text.h"
#include "formats/command_record.h"
#include "formula/boundary_state.h"
#include "formula/formula.h"
#include "log/plugin_log.h"
#include "state/queries.h"
#include "state/state.h"

namespace pintle {
namespace {

// The texts the C interface hands out, valid until the next call of the
// same function. Touched only under the call lock.
struct StateQueries {
    std::wstring position_codes;
    std::wstring order_codes;
};

StateQueries& Queries() {
    static StateQueries queries;
    return queries;
}

// The query code of a DZH-style call: the label, wide, without market marks.
std::wstring LabelCode(const FormulaCall& call) {
    const std::string_view label = LabelText(call);
    // An ASCII label loses its marks as bytes first: the short code then
    // widens without allocating.
    if (IsAscii(label)) {
        const std::string code = NormaliseCodeBytes(std::string(label));
        return std::wstring(code.begin(), code.end());
    }
    return NormaliseCode(AnsiToWide(label));
}

int32_t IntArg(const FormulaCall& call, int number) { return TruncateToInt(ReadArg(call, number)); }

// Splits the selector of argument `number` and makes its assistant current;
// gives the selector index.
int32_t ChooseAssistant(const FormulaCall& call, int number) {
    const AssistantSelector sel = SplitSelector(IntArg(call, number));
    SelectAssistant(sel.assistant);
    return sel.index;
}

int32_t ChooseAssistant(int32_t selector) {
    const AssistantSelector sel = SplitSelector(selector);
    SelectAssistant(sel.assistant);
    return sel.index;
}

// A trade kind counted from 1, as the stored kind; wide so INT32_MIN does
// not wrap to a kind that exists.
int64_t StoredKind(int32_t counted_from_1) { return int64_t{counted_from_1} - 1; }

std::wstring TdxQueryCode(float code_number) { return NormaliseCode(AnsiToWide(TdxCodeText(code_number))); }

// A code from an outside program: read up to its terminator, but no further
// than any refresh request could carry; no stored code is that long.
std::wstring_view CallerCode(const wchar_t* code) {
    constexpr std::size_t kLongest = 127;
    std::size_t n = 0;
    while (n < kLongest && code[n] != 0) ++n;
    return {code, n};
}

// The DZH prologue's gate and assistant choice for the commands that only
// pass the call on to the command sender.
int32_t PassToSender(const wchar_t* function, FormulaCall& call, int selector_arg, uint32_t kind, int32_t sub_kind) {
    if (!LastBarGate(call)) return 0;
    ChooseAssistant(call, selector_arg);
    return SendDzhCommand(function, kind, sub_kind, call, false, true);
}

}  // namespace

int32_t PosInfo(FormulaCall& call) {
    const std::wstring code = LabelCode(call);
    if (!LastBarGate(call)) return 0;
    const int32_t s = ChooseAssistant(call, 2);
    // The float read from the formula against the number 0.2, as WenCai
    // does: an argument of 0.2 reads as 0.200000003 and asks for every bar.
    WriteResult(call, PositionQuery(code, IntArg(call, 1), s), static_cast<double>(ReadArg(call, 3)) > 0.2);
    return 0;
}

int32_t OrderInfo(FormulaCall& call) {
    const std::wstring code = LabelCode(call);
    if (!LastBarGate(call)) return 0;
    const int32_t s = ChooseAssistant(call, 3);
    WriteResult(call, OrderQuery(code, IntArg(call, 2), IntArg(call, 1), s, IntArg(call, 4)), false);
    return 0;
}

int32_t AccountInfo(FormulaCall& call) {
    if (!LastBarGate(call)) return 0;
    const int32_t s = ChooseAssistant(call, 2);
    WriteResult(call, AccountQuery(IntArg(call, 1), s), ReadArg(call, 3) == 1.0f);
    return 0;
}

int32_t CancelOrder(FormulaCall& call) {
    const std::wstring code = LabelCode(call);
    if (!LastBarGate(call)) return 0;
    const int32_t s = ChooseAssistant(call, 2);
    const float outstanding = OrderQuery(code, 0, StoredKind(IntArg(call, 1)), s, IntArg(call, 3));
    if (!(outstanding > 0.0f)) return 0;
    return SendDzhCommand(L"CancelOrder", kKindOrderManagement, 0, call, false, true);
}

int32_t EnableCode(FormulaCall& call) { return PassToSender(L"Enable", call, 2, kKindOrderManagement, 1); }
int32_t DisableCode(FormulaCall& call) { return PassToSender(L"Disable", call, 2, kKindOrderManagement, 2); }
int32_t SendMessagesCommand(FormulaCall& call) { return PassToSender(L"SendMessages", call, 3, kKindMessages, 0); }

float TdxPositionValue(const TdxInputs& in) {
    return PositionQuery(TdxQueryCode(in.a), TruncateToInt(in.b), TdxSelectorIndex());
}

float TdxOrderValue(const TdxInputs& in) {
    return OrderQuery(TdxQueryCode(in.a), TruncateToInt(in.c), TruncateToInt(in.b), -1, 0);
}

float TdxAccountValue(const TdxInputs& in) { return AccountQuery(TruncateToInt(in.a), TdxSelectorIndex()); }

void TdxCancelOrders(const TdxInputs& in) {
    const std::string text = TdxCodeText(in.a);
    const std::wstring code = NormaliseCode(AnsiToWide(text));
    const int32_t k = TruncateToInt(in.b);
    const float outstanding = OrderQuery(code, 0, StoredKind(k), -1, 0);
    if (CurrentMainWindow() != nullptr) {
        // The line's %d is a 32-bit number: k - 1 as the 32-bit value it
        // wraps to (2147483647 for k = -2147483648).
        const int32_t shown = static_cast<int32_t>(static_cast<uint32_t>(k) - 1u);
        PluginLog::Instance().WriteFormatted(L"DLL6 %s  %.2f (%d)[%d]",
                                             {code, static_cast<double>(outstanding), shown, k});
    }
    // Any non-zero outstanding quantity, a negative one too: the assistant
    // decides what an over-filled order means.
    if (outstanding != 0.0f) SendTdxCommand(L"TDXDLL1(6", in.a, text, 0, k, in.c, kKindOrderManagement, false);
}

float QueryPosInfo(const wchar_t* code, int32_t selector, int32_t assistant_selector) {
    const int32_t s = ChooseAssistant(assistant_selector);
    if (code == nullptr) return 0.0f;
    return PositionQuery(CallerCode(code), selector, s);
}

float QueryAccountInfo(int32_t selector, int32_t assistant_selector) {
    return AccountQuery(selector, ChooseAssistant(assistant_selector));
}

const wchar_t* QueryAllPositionCodes(int32_t assistant_selector) {
    MarkQueryApiUsed();
    const int32_t s = ChooseAssistant(assistant_selector);
    Queries().position_codes = HeldCodesQuery(s);
    return Queries().position_codes.c_str();
}

void QueryAllPositionCodesA(char* buffer, int32_t size, int32_t assistant_selector) {
    QueryAllPositionCodes(assistant_selector);
    if (buffer == nullptr || size <= 0) return;
    const std::string text = WideToAnsi(Queries().position_codes);
    const std::size_t room = static_cast<std::size_t>(size);
    const std::size_t n = std::min(room, text.size());
    std::memcpy(buffer, text.data(), n);
    if (n < room) buffer[n] = '\0';
}

const wchar_t* QueryAllOrderCodes(int32_t assistant_selector, int32_t kind_from_1) {
    MarkQueryApiUsed();
    const int32_t s = ChooseAssistant(assistant_selector);
    Queries().order_codes = OrderCodesQuery(StoredKind(kind_from_1), s);
    return Queries().order_codes.c_str();
}

void ResetStateQueries() {
    // Swapped out rather than cleared: unload frees the storage.
    std::wstring().swap(Queries().position_codes);
    std::wstring().swap(Queries().order_codes);
}

}  // namespace pintle
