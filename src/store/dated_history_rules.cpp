#include "store/dated_history_rules.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "common/local_time.h"
#include "formula/formula.h"
#include "store/series_rules.h"

namespace pintle {

int32_t PeriodCodeOfDigit(int32_t digit) {
    if (digit == 0) return 3;
    if (digit == 5) return 8;
    return digit + 3;
}

DatedKey SplitDatedKey(std::string_view code_text, float code_number, bool hong_kong) {
    DatedKey key;
    const bool global = code_text == kGlobalCodeGbk;
    if (global) {
        key.code = kGlobalCodeGbk;
        key.p = TruncateToInt(code_number);
    } else {
        TdxCodeKey split = SplitTdxCodeText(code_text, hong_kong);
        key.code = std::move(split.code);
        key.p = split.p;
    }
    const int32_t digit = key.p >= 10 ? key.p % 10 : key.p;
    key.qualifier = key.p >= 10 ? key.p / 10 : 0;
    key.period_code = global ? 8 : PeriodCodeOfDigit(digit);
    return key;
}

bool AcceptsWriteSlot(float slot) { return slot >= 10000.0f && TruncateToInt(slot) >= 10000; }

bool AcceptsReadSlot(float slot) {
    const int32_t whole = TruncateToInt(slot);
    return AcceptsWriteSlot(slot) || (whole >= 86 && whole <= 99);
}

bool IsMarketWideSlot(int32_t slot) { return (slot >= 88 && slot <= 91) || (slot >= 94 && slot <= 99); }

bool IsAdjustedPriceSlot(int32_t slot) { return slot == 86 || slot == 87 || slot == 92 || slot == 93; }

std::optional<uint32_t> DatedBarTime(float date, std::optional<float> hhmm) {
    return DatedBarTime(date, hhmm, LocalTimeRules());
}

std::optional<uint32_t> DatedBarTime(float date, std::optional<float> hhmm, const LocalTimeRules& rules) {
    const int32_t d = TruncateToInt(date);
    const int32_t t = hhmm ? TruncateToInt(*hhmm) : 0;
    if (d == kIntOverflow || t == kIntOverflow) return std::nullopt;
    LocalTime local;
    local.year = TruncateToInt(date / 10000.0f + 1900.0f);
    local.month = d / 100 % 100;
    local.day = d % 100;
    local.hour = t / 100 % 100;
    local.minute = t % 100;
    local.second = 0;
    const int64_t seconds = rules.ToSeconds(local);
    // 0 is also how LocalToSeconds says "no such time".
    if (seconds <= 0 || seconds > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) return std::nullopt;
    return static_cast<uint32_t>(seconds);
}

namespace {

// p[i] = step(p[i]) for i below n, in blocks of 8 that the compiler turns
// into vector instructions by itself: each lane does the same IEEE
// operations as one price alone, so the results are the same bits.
template <class Step>
void ForEachPrice(float* p, std::size_t n, Step step) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        for (std::size_t j = 0; j < 8; ++j) p[i + j] = step(p[i + j]);
    }
    for (; i < n; ++i) p[i] = step(p[i]);
}

}  // namespace

void AdjustPrices(std::vector<float>& prices, const std::vector<int64_t>& price_midnights, int64_t today_midnight,
                  const std::vector<ShareBonusRecord>& records, const std::vector<int64_t>& midnights) {
    const std::size_t n = std::min(prices.size(), price_midnights.size());
    // The records that count (ex-date not after today), in list order. A
    // price steps through counted record e unless a counted record from e on
    // lies on or before its day (newest first, the walk stops there): so
    // while its day is before `earliest[e]`, the earliest of them.
    std::vector<std::size_t> counted;
    for (std::size_t k = 0; k < std::min(records.size(), midnights.size()); ++k) {
        if (midnights[k] <= today_midnight) counted.push_back(k);
    }
    if (n == 0 || counted.empty()) return;
    std::vector<int64_t> earliest(counted.size());
    int64_t low = std::numeric_limits<int64_t>::max();
    for (std::size_t e = counted.size(); e-- > 0;) earliest[e] = low = std::min(low, midnights[counted[e]]);

    // The prices by day, oldest first (a series usually is already): the
    // prices a record reaches are then the first `reach`, and `reach` only
    // shrinks as the records get older.
    std::vector<uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
    if (!std::is_sorted(price_midnights.begin(), price_midnights.begin() + static_cast<std::ptrdiff_t>(n))) {
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return price_midnights[a] < price_midnights[b]; });
    }
    std::vector<float> p(n);
    for (std::size_t i = 0; i < n; ++i) p[i] = prices[order[i]];
    std::size_t reach = n;
    std::size_t failed = 0;  // the first `failed` met a step dividing by 0: stored price
    for (std::size_t e = counted.size(); e-- > 0;) {
        while (reach > 0 && price_midnights[order[reach - 1]] >= earliest[e]) --reach;
        if (reach == 0) break;
        const ShareBonusRecord& r = records[counted[e]];
        // The operations and their order are the adjustment's own: keep them
        // as they are, or stored prices change in their last bits.
        if (r.rights_shares > 0.0f) {
            const float divisor = r.rights_shares * 0.1f + 1.0f;
            if (divisor == 0.0f) {
                failed = reach;
                break;
            }
            const float added = r.rights_shares * 0.1f * r.rights_price;
            ForEachPrice(p.data(), reach, [added, divisor](float x) { return (added + x) / divisor; });
        }
        const float divisor = r.bonus_shares * 0.1f + 1.0f;
        if (divisor == 0.0f) {
            failed = reach;
            break;
        }
        const float cash = r.cash * 0.1f;
        ForEachPrice(p.data(), reach, [cash, divisor](float x) { return (x - cash) / divisor; });
    }
    // No step turns a price that is not finite into a finite one, so a price
    // that ends finite was finite after every step.
    for (std::size_t i = failed; i < n; ++i) {
        if (std::isfinite(p[i])) prices[order[i]] = p[i];
    }
}

BarTimes& FindOrAddBarTimes(BarTimeCache& cache, const DatedPair& pair) {
    if (const auto found = cache.find(pair); found != cache.end()) return found->second;
    if (cache.size() >= kBarTimeCacheLimit) {
        auto oldest = cache.begin();
        for (auto it = cache.begin(); it != cache.end(); ++it) {
            if (it->second.last_update < oldest->second.last_update) oldest = it;
        }
        cache.erase(oldest);
    }
    return cache[pair];
}

void LaySeriesOnBars(const std::vector<HistoryPoint>& series, const std::vector<std::optional<uint32_t>>& bar_times,
                     int32_t period_code, bool carry, float* out, int32_t count) {
    if (out == nullptr || count <= 0) return;
    const float nan = std::bit_cast<float>(kQuietNanBits);
    for (int32_t i = 0; i < count; ++i) out[i] = nan;
    const std::size_t n = std::min(bar_times.size(), static_cast<std::size_t>(count));
    std::vector<uint32_t> times(n);
    for (std::size_t i = 0; i < n; ++i) times[i] = bar_times[i].value_or(0);
    const std::vector<std::ptrdiff_t> matches = MatchBars(series, times, period_code);
    for (std::size_t i = 0; i < n; ++i) {
        if (bar_times[i] && matches[i] >= 0) out[i] = static_cast<float>(series[static_cast<std::size_t>(matches[i])].value);
        else if (carry && i >= 2) out[i] = out[i - 1];
    }
}

}  // namespace pintle
