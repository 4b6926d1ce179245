// The DZH-style call record as the terminal lays it out: 4-byte packing, so
// the bar pointer at offset 60 is not 8-byte aligned. Only the fields named
// here are read or written; the gaps belong to the terminal.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pintle {

#pragma pack(push, 4)

// One bar of the chart (40 bytes).
struct BarRecord {
    uint32_t time;  // seconds since 1970-01-01
    uint8_t reserved0[12];
    float close;
    uint8_t reserved1[20];
};

// A numeric argument: a constant, or a per-bar series when `series` is set.
struct FormulaArg {
    double value;
    const double* series;
};

struct FormulaCall {
    uint8_t reserved0[12];
    char label[20];  // ANSI, two-letter market prefix then the code
    int32_t bar_by_bar;
    uint8_t reserved1[8];
    int32_t current_index;
    int16_t period;
    uint8_t reserved2[6];
    int32_t bar_count;
    const BarRecord* bars;
    uint8_t reserved3[8];
    int32_t arg_count;
    const FormulaArg* args[4];
    uint8_t reserved4[224];
    double* result;
};

#pragma pack(pop)

static_assert(sizeof(BarRecord) == 40);
static_assert(offsetof(BarRecord, time) == 0);
static_assert(offsetof(BarRecord, close) == 16);

static_assert(sizeof(FormulaArg) == 16);
static_assert(offsetof(FormulaArg, value) == 0);
static_assert(offsetof(FormulaArg, series) == 8);

static_assert(offsetof(FormulaCall, label) == 12);
static_assert(offsetof(FormulaCall, bar_by_bar) == 32);
static_assert(offsetof(FormulaCall, current_index) == 44);
static_assert(offsetof(FormulaCall, period) == 48);
static_assert(offsetof(FormulaCall, bar_count) == 56);
static_assert(offsetof(FormulaCall, bars) == 60);
static_assert(offsetof(FormulaCall, arg_count) == 76);
static_assert(offsetof(FormulaCall, args) == 80);
static_assert(offsetof(FormulaCall, args) + 8 == 88);
static_assert(offsetof(FormulaCall, args) + 24 == 104);
static_assert(offsetof(FormulaCall, result) == 336);
static_assert(sizeof(FormulaCall) == 344);

}  // namespace pintle
