// Quotes from DZH-style formulas.
#include "assistant/quotes.h"
#include "formula/call_lock.h"
#include "plugin/export_guard.h"
#include "plugin/exports.h"

using namespace pintle;

extern "C" int32_t pintle_SENDQUOTE(FormulaCall* call) {
    if (call != nullptr && StoppedBeforeLock(*call)) return 0;
    return Guarded(L"SENDQUOTE", 0, [&]() -> int32_t {
        if (call == nullptr) return 0;
        CallLockHold hold;
        return SendSingleQuote(*call);
    });
}

// Takes the quote lock first and the call lock only while sending.
extern "C" int32_t pintle_SendQuote(FormulaCall* call) {
    return Guarded(L"SendQuote", 0, [&]() -> int32_t { return call ? SendQuoteBatch(*call) : 0; });
}
