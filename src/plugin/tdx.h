// The TDX terminal's side of the boundary: the numbered-function signature,
// the packed table handed over by RegisterTdxFunc, and the conventions every
// numbered function shares (inputs at the last index, one value in every
// output entry, nothing at all for a count of 0 or less).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace pintle {

using TdxFunction = void (*)(int32_t count, float* out, float* in_a, float* in_b, float* in_c);

#pragma pack(push, 1)
struct TdxTableEntry {
    uint16_t number;
    TdxFunction function;
};
#pragma pack(pop)
static_assert(sizeof(TdxTableEntry) == 10);
static_assert(offsetof(TdxTableEntry, function) == 2);

constexpr int kTdxFunctionCount = 46;
// Numbers 1..46 in order and a terminating entry (number 0, null).
extern const TdxTableEntry kTdxTable[kTdxFunctionCount + 1];
static_assert(sizeof(kTdxTable) == 470);

// The inputs of one call at the last index.
struct TdxInputs {
    float a = 0, b = 0, c = 0;
};
// Reads entry count-1 of each input array (a null array reads 0).
TdxInputs LastInputs(int32_t count, const float* in_a, const float* in_b, const float* in_c);
// Writes the value into every one of the count entries.
void FillOutput(int32_t count, float* out, float value);

// Code number to code text: truncated, decimal, zero-padded to 6 digits (5
// in Hong Kong mode); longer numbers keep all their digits.
std::string TdxCodeText(float code_number);

}  // namespace pintle
