#include "store/series_rules.h"

#include <cmath>
#include <cstdlib>

#include "common/local_time.h"

namespace pintle {
namespace {

// 3000-12-31 23:59:59 UTC: the last second the run-time's calendar shows.
constexpr double kLastShownTime = 32535215999.0;
constexpr int64_t kSecondsPerDay = 86400;

int32_t DateNumberOf(const LocalTime& t) { return DateNumber(t.year, t.month, t.day); }

// The date number of a stored time, or the stored value when it names no
// time the calendar can show.
double DateNumberOrValue(double stored) {
    const auto t = StoredTime(stored);
    return t ? DateNumberOf(ToLocalTime(*t)) : stored;
}

// Whole days between the local midnights of the two dates; a difference of
// less than a day (a daylight-saving day) falls back to the days of month.
double LocalDaysBetween(int64_t from, int64_t to) {
    const LocalTime a = ToLocalTime(from), b = ToLocalTime(to);
    const int64_t days = (LocalMidnight(b.year, b.month, b.day) - LocalMidnight(a.year, a.month, a.day)) / kSecondsPerDay;
    return static_cast<double>(days != 0 ? days : b.day - a.day);
}

}  // namespace

bool IsAssistantHistorySlot(int32_t slot) { return (slot >= 86 && slot <= 99) || slot >= 20000; }

int32_t SetPeriod(int32_t chart_period, int32_t arg4) {
    switch (arg4) {
        case 11: return 1;
        case 12: return 4;
        case 13: return 5;
        case 14: return 6;
        case 15: return 7;
        case 16: return 8;
        default: return chart_period - 1;
    }
}

int32_t AlternatePeriod(int32_t period) {
    if (period == 1) return 3;
    if (period == 3) return 1;
    return period;
}

int32_t HistoryFileSlot(int32_t slot) { return slot == 96 || slot == 97 ? slot + 2 : slot; }

void DivideByFirst(std::vector<HistoryPoint>& series) {
    if (series.empty()) return;
    const float first = static_cast<float>(series.front().value);
    const bool usable = first != 0.0f && std::isfinite(first);
    for (HistoryPoint& p : series) p.value = usable ? p.value / static_cast<double>(first) : 0.0;
}

TimeSlotRead MapTimeSlot(int32_t slot) {
    switch (slot) {
        case 0: case 5: case 10: case 15: case 23: return {slot, TimeConversion::DateNumber};
        case 1: case 6: case 11: case 16: return {slot - 1, TimeConversion::Days};
        case 2: case 7: case 12: case 17: return {slot - 2, TimeConversion::Seconds};
        case 27: return {23, TimeConversion::Days};
        case 28: return {23, TimeConversion::Seconds};
        default: return {slot, TimeConversion::None};
    }
}

int32_t DateNumber(int year, int month, int day) { return (year - 1900) * 10000 + month * 100 + day; }

std::optional<int64_t> StoredTime(double stored) {
    if (!(stored >= 0.0 && stored <= kLastShownTime)) return std::nullopt;
    return static_cast<int64_t>(stored);
}

double ConvertStoredTime(TimeConversion conversion, bool tdx, double stored, int64_t now) {
    if (stored == 0.0 || conversion == TimeConversion::None) return stored;
    const double now_seconds = static_cast<double>(now);
    switch (conversion) {
        case TimeConversion::DateNumber: return DateNumberOrValue(stored);
        case TimeConversion::Days: {
            if (tdx) return DateNumberOf(ToLocalTime(now)) - DateNumberOrValue(stored);
            const auto t = StoredTime(stored);
            return t && stored > 0.0 ? LocalDaysBetween(*t, now) : 0.0;
        }
        case TimeConversion::Seconds:
            if (tdx) return now_seconds - stored;
            return stored > 0.0 ? now_seconds - stored : 0.0;
        case TimeConversion::None: break;
    }
    return stored;
}

bool SameLocalDate(int64_t a, int64_t b) {
    const LocalTime x = ToLocalTime(a), y = ToLocalTime(b);
    return x.year == y.year && x.month == y.month && x.day == y.day;
}

KeyNumber SplitKeyNumber(int32_t x) {
    if (x <= 9) return {x, 0};
    return {x % 10, x / 10};
}

TdxCodeKey SplitTdxCodeText(std::string_view text, bool hong_kong) {
    const auto leading = [](std::string_view digits) {
        // The leading characters of a code text are its own decimal digits
        // (a minus sign at most), so they always fit.
        return static_cast<int32_t>(std::strtol(std::string(digits).c_str(), nullptr, 10));
    };
    if (text.size() >= 7) return {std::string(text.substr(text.size() - 6)), leading(text.substr(0, text.size() - 6))};
    if (text.size() == 6 && hong_kong) return {std::string(text.substr(1)), leading(text.substr(0, 1))};
    return {std::string(text), 0};
}

int64_t BarBucket(int32_t period_code, uint32_t time) { return BarBucket(period_code, time, LocalTimeRules()); }

int64_t BarBucket(int32_t period_code, uint32_t time, const LocalTimeRules& rules) {
    const int64_t t = time;
    switch (period_code) {
        case 1: case 3: case 15: return t / 60;
        case 4: return t / 60 / 5;
        case 5: return t / 60 / 15;
        case 6: return t / 60 / 30;
        case 7: return t / 60 / 60;
        case 100: return t;
        default: return rules.LocalDay(t);
    }
}

std::vector<std::ptrdiff_t> MatchBars(const std::vector<HistoryPoint>& series, const std::vector<uint32_t>& bar_times,
                                      int32_t period_code) {
    std::vector<std::ptrdiff_t> matches(bar_times.size(), -1);
    if (series.empty()) return matches;
    // Each time is put in its bucket once, and the time-zone rules are read
    // once for all of them: a chart has thousands of bars.
    const LocalTimeRules rules;
    std::vector<int64_t> buckets(series.size());
    for (std::size_t k = 0; k < series.size(); ++k) buckets[k] = BarBucket(period_code, series[k].time, rules);
    // One entry per bucket, the usual history: the entry of a bucket is the
    // only one there is, and bars in time order find theirs in one walk
    // along the entries. With several entries in a bucket the binary search
    // alone says which one a bar gets.
    bool one_per_bucket = true;
    for (std::size_t k = 1; k < buckets.size() && one_per_bucket; ++k) one_per_bucket = buckets[k - 1] < buckets[k];
    std::size_t walk = 0;
    int64_t previous_bar = INT64_MIN;
    for (std::size_t i = 0; i < bar_times.size(); ++i) {
        const int64_t bar = BarBucket(period_code, bar_times[i], rules);
        if (bar < buckets.front() || bar > buckets.back()) continue;
        if (one_per_bucket) {
            if (bar < previous_bar) walk = 0;  // out of order: walk again from the start
            previous_bar = bar;
            while (buckets[walk] < bar) ++walk;  // stops at the last entry at the latest
            if (buckets[walk] == bar) matches[i] = static_cast<std::ptrdiff_t>(walk);
            continue;
        }
        std::ptrdiff_t lo = 0, hi = static_cast<std::ptrdiff_t>(buckets.size()) - 1;
        while (lo <= hi) {
            const std::ptrdiff_t mid = lo + (hi - lo) / 2;
            if (buckets[static_cast<std::size_t>(mid)] == bar) {
                matches[i] = mid;
                break;
            }
            if (bar < buckets[static_cast<std::size_t>(mid)]) hi = mid - 1;
            else lo = mid + 1;
        }
    }
    return matches;
}

}  // namespace pintle
