// The packed table of numbered functions that RegisterTdxFunc hands to the
// TDX terminal: numbers 1..46 in order and a terminating entry (number 0,
// null pointer), 10 bytes each with no padding.
#pragma once
#include <cstddef>
#include <cstdint>

#include "formula/tdx_arrays.h"

namespace pintle {

#pragma pack(push, 1)
struct TdxTableEntry {
    uint16_t number;
    TdxFunction function;
};
#pragma pack(pop)
static_assert(sizeof(TdxTableEntry) == 10);
static_assert(offsetof(TdxTableEntry, function) == 2);

constexpr int kTdxFunctionCount = 46;
extern const TdxTableEntry kTdxTable[kTdxFunctionCount + 1];
static_assert(sizeof(kTdxTable) == 470);

}  // namespace pintle
