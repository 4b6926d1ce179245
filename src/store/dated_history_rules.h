// The rules of the TDX dated history functions (30-34) that work on values
// alone: what the leading digits of a code number mean, how a date number
// and an hhmm time become a bar time, how a stored price is adjusted for the
// company's dividends and rights issues, which bar-time list the bounded
// cache drops, and how a series is laid onto the bars. No Windows header;
// local calendar times come from common/local_time.h.
//
// The TDX terminal hands a plug-in float arrays only: no bar times and no
// chart period. A formula therefore passes its dates (30, 34), its times (31,
// 33) and, in digits in front of the code, the period and a qualifier.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/local_time.h"
#include "net/net.h"
#include "store/key_value_store.h"

namespace pintle {

// The output of 34 where no value can be shown.
inline constexpr uint32_t kQuietNanBits = 0x7FC00000u;

// Key parts of 30-34 from the code text (TdxCodeText of input A, with
// "000000" already made "全局" for 33 and 34). Unlike TDX Set (24), p mod 10
// (for p >= 10) is the period digit and p / 10 the qualifier; the assistant
// field is always 0. 全局 takes p from the code number itself.
struct DatedKey {
    std::string code;
    int32_t p = 0;
    int32_t qualifier = 0;
    int32_t period_code = 3;  // 3 minute, 4-7 five to sixty minutes, 8 day
};
DatedKey SplitDatedKey(std::string_view code_text, float code_number, bool hong_kong);
// Digit 0 is the minute (3), 5 the day (8), any other d gives d + 3.
int32_t PeriodCodeOfDigit(int32_t digit);

// Slots 30-32 accept: 10000 and above (a slot too large for an integer is
// refused, it would name no file). 33 and 34 also accept 86-99.
bool AcceptsWriteSlot(float slot);
bool AcceptsReadSlot(float slot);
// Slots 88-91 and 94-99 hold market-wide series: read under 全局, and a bar
// without an entry repeats the bar before it (from the third bar on).
bool IsMarketWideSlot(int32_t slot);
// Slots 86, 87, 92 and 93 hold prices of the code, adjusted for dividends.
bool IsAdjustedPriceSlot(int32_t slot);

// The local time a date number ((year - 1900) * 10000 + month * 100 + day;
// the year computed in single precision) and an hhmm time name, second 0.
// Without a time, local midnight. Null when it names no local time that a
// 32-bit bar time can hold (month 13, 25:00, before 1970, ...).
std::optional<uint32_t> DatedBarTime(float date, std::optional<float> hhmm);
// The same with the time-zone rules already read (a chart's bars in one call).
std::optional<uint32_t> DatedBarTime(float date, std::optional<float> hhmm, const LocalTimeRules& rules);

// The prices of a series (price i at the local midnight price_midnights[i])
// seen from today: each adjusted for every record whose ex-date lies after
// the price's day and not after today (`records` ascending by ex-date,
// `midnights` their local midnights; in any other order, for the records
// that count after the last one on or before the price's day). Newest
// first: a rights issue first, P = (r * 0.1 * rights price + P) / (r * 0.1 +
// 1); then P = (P - cash * 0.1) / (bonus * 0.1 + 1); all in single
// precision. A step that would divide by 0 or give no finite price leaves
// the price as stored; prices without a midnight stay as they are.
//
// One pass over the records, newest first, each applied to every price it
// reaches at once: time linear in the records plus the steps taken. Each
// price still takes its own steps in its own order (nothing is shared
// between prices), so the result is bit for bit that of walking the
// records from the newest for each price alone.
void AdjustPrices(std::vector<float>& prices, const std::vector<int64_t>& price_midnights, int64_t today_midnight,
                  const std::vector<ShareBonusRecord>& records, const std::vector<int64_t>& midnights);

// The process-wide tables of 30-34, keyed by (code text, slot).
using DatedPair = std::pair<std::string, int32_t>;
struct BarDate {
    float date = 0;  // date number, from 30
    float time = 0;  // hhmm, from 31; 0 until then
};
struct BarTimes {
    int64_t last_update = 0;  // seconds since 1970
    std::vector<float> times;  // hhmm per bar, from 33
};
using BarDateTable = std::map<DatedPair, BarDate>;
using BarTimeCache = std::map<DatedPair, BarTimes>;

inline constexpr std::size_t kBarTimeCacheLimit = 51;
// The pair's entry, added empty when absent. Before it is added to a cache
// that holds more than 50 entries, the entry updated longest ago goes (the
// first in key order among equal times), so the cache never exceeds 51.
BarTimes& FindOrAddBarTimes(BarTimeCache& cache, const DatedPair& pair);

// Output of 34: `count` entries, each a quiet NaN unless bar i (a null bar
// time matches nothing) matches an entry of the series under the period
// code; with `carry`, an unmatched bar from index 2 on repeats the bar
// before it. Bars past bar_times stay NaN.
void LaySeriesOnBars(const std::vector<HistoryPoint>& series, const std::vector<std::optional<uint32_t>>& bar_times,
                     int32_t period_code, bool carry, float* out, int32_t count);

}  // namespace pintle
