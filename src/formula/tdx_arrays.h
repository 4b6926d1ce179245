// The TDX terminal's side of a call: the numbered-function signature and the
// conventions every numbered function shares (inputs at the last index, one
// value in every output entry, nothing at all for a count of 0 or less), and
// the code text of a TDX code number.
#pragma once
#include <cstdint>
#include <string>

namespace pintle {

using TdxFunction = void (*)(int32_t count, float* out, float* in_a, float* in_b, float* in_c);

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
