// What the formula functions of the block lists read from their calls and
// write back. No call lock: the block files are the terminal's, not ours.
#include "blocks/blocks.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"

namespace pintle {
namespace {

// A call that did not act says so on every bar, whatever the all-bars rule.
void ZeroEveryBar(FormulaCall& call) {
    if (call.bar_count <= 0 || call.result == nullptr) return;
    for (int32_t i = 0; i < call.bar_count; ++i) call.result[i] = 0.0;
}

int32_t EditBlock(FormulaCall& call, bool add) {
    // The label as the terminal gives it: the key rule sees the prefix.
    const std::string label(LabelText(call));
    if (!LastBarGate(call)) return 0;
    const float act = ReadArg(call, 1), block = ReadArg(call, 2), top = ReadArg(call, 3);
    if (TruncateToInt(act) > 0) {
        const std::wstring path = DzhBlockPath(TruncateToInt(block));
        const int32_t done =
            add ? AddToDzhBlock(path, label, TruncateToInt(top) >= 1) : RemoveFromDzhBlock(path, label);
        if (done != 0) {
            WriteResult(call, 1.0f, false);
            return 0;
        }
    }
    ZeroEveryBar(call);
    return 0;
}

}  // namespace

int32_t SaveToBlockFormula(FormulaCall& call) { return EditBlock(call, true); }

int32_t DeleteFromBlockFormula(FormulaCall& call) { return EditBlock(call, false); }

int32_t BlockCountFormula(FormulaCall& call) {
    if (!LastBarGate(call)) return 0;
    const int32_t n = CountDzhBlock(DzhBlockPath(TruncateToInt(ReadArg(call, 1))));
    WriteResult(call, static_cast<float>(n), false);
    return 0;
}

bool TdxAddToBlock(float code_number, float act, float block_number) {
    if (TruncateToInt(act) <= 0) return false;
    return AddToTdxBlock(TdxBlockPath(TruncateToInt(block_number)), TdxCodeText(code_number));
}

bool TdxRemoveFromBlock(float code_number, float act, float block_number) {
    if (TruncateToInt(act) <= 0) return false;
    return RemoveFromTdxBlock(TdxBlockPath(TruncateToInt(block_number)), TdxCodeText(code_number));
}

std::optional<int32_t> TdxBlockCount(float block_number) {
    const int32_t b = TruncateToInt(block_number);
    if (b < 0) return std::nullopt;
    return CountTdxBlock(TdxBlockPath(b));
}

}  // namespace pintle
