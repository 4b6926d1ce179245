// QuoteEntry: one 98-byte quote of a quote list (command kind 12); a list is
// sent as consecutive entries with cbData = 98 * count. Packed, little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pintle {

constexpr int32_t kQuoteMarkerPush = 999999;
constexpr int32_t kQuoteMarker998 = 999998;
constexpr int32_t kQuoteMarker997 = 999997;

#pragma pack(push, 1)
struct QuoteEntry {
    char key[10];        // label (DZH) or code text (TDX), at most 9 bytes and a zero
    float field0;        // price or value
    float field1;
    uint8_t zero18[40];
    int32_t field2;      // or a marker 999999 / 999998 / 999997
    uint8_t zero62[16];
    int32_t field3;      // time, seconds since 1970
    int32_t period;      // chart period (DZH) or 3 + market digit (TDX)
    int32_t zero86;
    uint8_t zero90[8];
};
#pragma pack(pop)

static_assert(sizeof(QuoteEntry) == 98);
static_assert(offsetof(QuoteEntry, key) == 0);
static_assert(offsetof(QuoteEntry, field0) == 10);
static_assert(offsetof(QuoteEntry, field1) == 14);
static_assert(offsetof(QuoteEntry, zero18) == 18);
static_assert(offsetof(QuoteEntry, field2) == 58);
static_assert(offsetof(QuoteEntry, zero62) == 62);
static_assert(offsetof(QuoteEntry, field3) == 78);
static_assert(offsetof(QuoteEntry, period) == 82);
static_assert(offsetof(QuoteEntry, zero86) == 86);
static_assert(offsetof(QuoteEntry, zero90) == 90);

}  // namespace pintle
