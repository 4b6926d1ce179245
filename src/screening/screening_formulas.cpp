// What WenCai, Hot, Ai and their TDX twins read from their calls and write
// back. The exports hold the call lock around all of it.
#include "assistant/assistant.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "screening/screening.h"

namespace pintle {

int32_t ScreeningFormula(ScreeningKind kind, FormulaCall& call) {
    const std::string code = NormaliseCodeBytes(std::string(LabelText(call)));
    if (!LastBarGate(call)) return 0;
    const float query = ReadArg(call, 1), assistant = ReadArg(call, 2);
    SelectAssistant(SplitSelector(TruncateToInt(assistant)).assistant);
    const int32_t hit = ScreeningHit(kind, code, TruncateToInt(query));
    // The float read from the formula against the number 0.2: an argument
    // of 0.2 reads as 0.200000003 and asks for every bar.
    WriteResult(call, static_cast<float>(hit), static_cast<double>(assistant) > 0.2);
    return 0;
}

int32_t TdxScreeningHit(ScreeningKind kind, float code_number, float query) {
    // The TDX twins never change the assistant.
    return ScreeningHit(kind, TdxCodeText(code_number), TruncateToInt(query));
}

}  // namespace pintle
