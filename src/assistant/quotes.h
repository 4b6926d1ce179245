// Quotes for the assistant: single quotes in a CommandRecord of kind 5, and
// QuoteEntry lists of kind 12 — batched from SendQuote, or one marker entry
// from TDX functions 39 to 41.
#pragma once
#include <cstddef>
#include <cstdint>

#include "formula/formula_call.h"

namespace pintle {

// SENDQUOTE (call lock held by the caller). Returns 0.
int32_t SendSingleQuote(FormulaCall& call);
// TDX function 8 (call lock held by the caller).
void SendTdxSingleQuote(float code_number, float price, float sub_kind);
// SendQuote: takes the quote lock, and the call lock only to send. Returns 0.
int32_t SendQuoteBatch(FormulaCall& call);
// TDX functions 39, 40, 41 (999997 only when no TDX order ran since its
// last call). Takes the call lock itself.
void SendQuoteMarker(int32_t count, float* out, float code_number, float date, float value, int32_t marker);

// The batch never holds more entries than this: reaching it sends the batch.
constexpr std::size_t kQuoteBatchCap = 1000;
// The longest label that fits the key of a QuoteEntry.
constexpr std::size_t kQuoteKeyMax = 9;

// Empties the batch and its time stamp (tests).
void ResetQuoteBatch();

}  // namespace pintle
