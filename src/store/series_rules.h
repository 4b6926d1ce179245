// The rules Set, Get and the dated history functions apply around the
// store: which store a slot lives in, how the assistant's time slots read,
// how a TDX code number carries its key parts, which period a Set writes,
// and how a history series is laid onto the bars of a chart. No Windows
// header; local calendar dates come from common/local_time.h.
//
// Two kinds of "day" meet here and must not be mixed: the store's history
// files bucket day entries by UTC day (store_rules.h, HistoryBucket), while
// everything a formula author sees (date numbers, day counts, the trade-day
// check, matching entries to day bars) uses the local calendar date.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/local_time.h"
#include "store/key_value_store.h"

namespace pintle {

// "全局" in GBK: the code of global values.
inline constexpr char kGlobalCodeGbk[] = "\xC8\xAB\xBE\xD6";

// Slots 86-99 and from 20000: Get reads their history from the current
// assistant's store (and carries a bar's value forward when no entry
// matches). Slots 10000-19999 and negative slots are read from the own store.
bool IsAssistantHistorySlot(int32_t slot);

// The history period a DZH Set writes: the chart's period code minus 1,
// unless argument 4 picks one (11 one minute, 12-15 five to sixty minutes,
// 16 day).
int32_t SetPeriod(int32_t chart_period, int32_t arg4);
// The other period the assistant may keep a one-minute series under: 1 and
// 3 swap; any other period has none (gives itself).
int32_t AlternatePeriod(int32_t period);

// Slots 96 and 97 are read from the files of 98 and 99.
int32_t HistoryFileSlot(int32_t slot);
// Slots 96 and 97 show their series as a ratio to its first value (taken as
// a float). A first value that is 0 as a float (or not finite) gives 0.0 on
// every entry rather than infinities or NaN.
void DivideByFirst(std::vector<HistoryPoint>& series);

// Reading a slot of the assistant's store: the slot to look up and what
// to make of the stored time.
enum class TimeConversion {
    None,        // the stored value as it is
    DateNumber,  // 0, 5, 10, 15, 23: the local date as a date number
    Days,        // 1, 6, 11, 16, 27: days from the stored time's date to today
    Seconds,     // 2, 7, 12, 17, 28: seconds from the stored time to now
};
struct TimeSlotRead {
    int32_t slot;
    TimeConversion conversion;
};
TimeSlotRead MapTimeSlot(int32_t slot);

// (year - 1900) * 10000 + month * 100 + day.
int32_t DateNumber(int year, int month, int day);
// A stored value that names a time the local calendar can show (whole
// seconds from 1970 up to the end of the year 3000).
std::optional<int64_t> StoredTime(double stored);
// What Get gives for a stored value under a conversion, at `now`. DZH and
// TDX differ in the day count (whole local days vs. date-number difference)
// and in how they treat negative values. A stored 0 is always 0.
double ConvertStoredTime(TimeConversion conversion, bool tdx, double stored, int64_t now);
// Whether two times fall on the same local calendar date.
bool SameLocalDate(int64_t a, int64_t b);

// TDX key number x: x <= 9 is the qualifier with assistant field 0; from
// 10 on, the last digit is the qualifier and the digits above it the
// assistant field.
struct KeyNumber {
    int32_t qualifier;
    int32_t assistant;
};
KeyNumber SplitKeyNumber(int32_t x);

// A TDX code text with extra leading digits: 7 characters or more give the
// last 6 as the code and the leading ones as the number p; exactly 6 in Hong
// Kong mode give the last 5 and the first digit. Anything else is the code
// with p = 0.
struct TdxCodeKey {
    std::string code;
    int32_t p = 0;
};
TdxCodeKey SplitTdxCodeText(std::string_view text, bool hong_kong);

// The bucket a bar time falls in when matched against history entries,
// by the chart's period code: minutes for 1, 3 and 15; 5, 15, 30, 60
// minutes for 4 to 7; the time itself for 100 (equal times only); the local
// calendar date for any other.
int64_t BarBucket(int32_t period_code, uint32_t time);
// The same with the time-zone rules already read (a day bucket needs them).
int64_t BarBucket(int32_t period_code, uint32_t time, const LocalTimeRules& rules);
// For each bar time, the index of the entry in `series` (sorted by time)
// whose bucket is the bar's, or -1. With several entries in one bucket the
// binary search takes the first one it meets.
std::vector<std::ptrdiff_t> MatchBars(const std::vector<HistoryPoint>& series, const std::vector<uint32_t>& bar_times,
                                      int32_t period_code);

}  // namespace pintle
