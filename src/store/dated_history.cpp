// TDX 30-34: history values written with a bar date and time the formula
// remembered first (30, 31, 32), and history series read back onto the bars
// of a formula that passed its bar times (33) and dates (34). Prices of the
// code are adjusted for dividends and rights issues on the way out.
//
// The two tables live here for the life of the loaded library and are
// touched only with the call lock held: the bar date table only grows (one
// entry per code text and slot a formula used), the bar time cache holds at
// most 51 lists of bar times.
#include <algorithm>
#include <optional>

#include "assistant/assistant.h"
#include "common/clock.h"
#include "common/local_time.h"
#include "common/text.h"
#include "formula/boundary_state.h"
#include "formula/formula.h"
#include "log/plugin_log.h"
#include "net/net.h"
#include "store/dated_history_rules.h"
#include "store/series_rules.h"
#include "store/set_get.h"
#include "store/store.h"

namespace pintle {
namespace {

struct DatedHistoryState {
    BarDateTable bar_dates;  // from 30 and 31, by code text as TdxCodeText gives it
    BarTimeCache bar_times;  // from 33, by code text with 000000 made 全局
};

DatedHistoryState g_dated;

bool HongKongMode() { return Boundary().hong_kong_mode.load() != 0; }

// The code text of 33 and 34: the code 000000 stands for the global values.
std::string ReadingCodeText(float code_number) {
    std::string text = TdxCodeText(code_number);
    return text == "000000" ? std::string(kGlobalCodeGbk) : text;
}

void LogNotYetCalled(const wchar_t* line, const std::string& code_text) {
    PluginLog::Instance().WriteFormatted(line, {AnsiToWide(code_text)});
}

int64_t MidnightOf(int64_t time, const LocalTimeRules& rules) {
    LocalTime t = rules.ToLocal(time);
    t.hour = t.minute = t.second = 0;
    return rules.ToSeconds(t);
}

// Prices before an ex-date are shown as they compare with today's price. The
// records are fetched once per code (at most one page every 5 seconds across
// the process: a code whose turn has not come stays unadjusted this time).
// While quotes are pushed the assistant's series are live and left alone.
void AdjustForDividends(const std::string& code, std::vector<HistoryPoint>& series) {
    if (QuotePushActive()) return;
    const std::vector<ShareBonusRecord>* records = FindShareBonus(code);
    if (records == nullptr) {
        RefreshShareBonus(code);
        records = FindShareBonus(code);
    }
    if (records == nullptr || records->empty()) return;
    const LocalTimeRules rules;
    std::vector<int64_t> midnights;
    midnights.reserve(records->size());
    for (const ShareBonusRecord& r : *records) midnights.push_back(MidnightOf(r.ex_date, rules));
    const int64_t today = MidnightOf(NowSeconds(), rules);
    // Prices above 0 only, in single precision.
    std::vector<std::size_t> at;
    std::vector<float> prices;
    std::vector<int64_t> days;
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (!(series[i].value > 0.0)) continue;
        at.push_back(i);
        prices.push_back(static_cast<float>(series[i].value));
        days.push_back(MidnightOf(series[i].time, rules));
    }
    AdjustPrices(prices, days, today, *records, midnights);
    for (std::size_t k = 0; k < at.size(); ++k) series[at[k]].value = prices[k];
}

// The own store keeps 10000-19999; the assistant's store the rest, with the
// market-wide slots under 全局.
std::vector<HistoryPoint> ReadDatedSeries(const DatedKey& key, int32_t slot) {
    if (slot >= 10000 && slot <= 19999)
        return ReadSlotHistory(OwnStore(), key.code, key.qualifier, 0, slot, key.period_code);
    const std::string code = IsMarketWideSlot(slot) ? std::string(kGlobalCodeGbk) : key.code;
    std::vector<HistoryPoint> series =
        ReadSlotHistory(CurrentAssistantStore(), code, key.qualifier, 0, slot, key.period_code);
    if (IsAdjustedPriceSlot(slot)) AdjustForDividends(key.code, series);
    return series;
}

}  // namespace

void ResetDatedHistoryState() { g_dated = DatedHistoryState{}; }

bool TdxRememberDate(const TdxInputs& in) {
    if (!AcceptsWriteSlot(in.b)) return false;
    g_dated.bar_dates[{TdxCodeText(in.a), TruncateToInt(in.b)}].date = in.c;
    return true;
}

bool TdxRememberTime(const TdxInputs& in) {
    if (!AcceptsWriteSlot(in.b)) return false;
    const std::string text = TdxCodeText(in.a);
    const auto found = g_dated.bar_dates.find({text, TruncateToInt(in.b)});
    if (found == g_dated.bar_dates.end()) {
        LogNotYetCalled(L"%s TDXDLL1(30 函数 还没调用", text);
        return false;
    }
    found->second.time = in.c;
    return true;
}

bool TdxSetAtRememberedTime(const TdxInputs& in) {
    if (!AcceptsWriteSlot(in.b)) return false;
    const std::string text = TdxCodeText(in.a);
    const int32_t slot = TruncateToInt(in.b);
    const auto found = g_dated.bar_dates.find({text, slot});
    if (found == g_dated.bar_dates.end()) {
        LogNotYetCalled(L"%s TDXDLL1(30 函数 还没调用", text);
        return false;
    }
    const BarDate remembered = found->second;
    const DatedKey key = SplitDatedKey(text, in.a, HongKongMode());
    // A date or time that names no moment would file the value under a wrong
    // bar (or under "now"): it is not stored.
    const std::optional<uint32_t> bar_time = DatedBarTime(remembered.date, remembered.time);
    if (!bar_time) {
        PluginLog::Instance().WriteFormatted(L"%s TDXDLL1(32 日期%d 时间%d 不是有效的时间, 不记录",
                                             {AnsiToWide(text), TruncateToInt(remembered.date),
                                              TruncateToInt(remembered.time)});
        return false;
    }
    if (RefusedOutsideTradeDay(key.code, *bar_time)) return false;
    OwnStore().WriteValue(key.code, key.qualifier, 0, slot, static_cast<double>(in.c), key.period_code, *bar_time);
    return true;
}

void TdxCacheBarTimes(int32_t count, float* out, const float* in_a, const float* in_b, const float* in_c) {
    if (count <= 0) return;
    const TdxInputs in = LastInputs(count, in_a, in_b, in_c);
    if (!AcceptsReadSlot(in.b)) return;
    BarTimes& entry = FindOrAddBarTimes(g_dated.bar_times, {ReadingCodeText(in.a), TruncateToInt(in.b)});
    const std::size_t n = static_cast<std::size_t>(count);
    if (in_c != nullptr) entry.times.assign(in_c, in_c + n);
    else entry.times.assign(n, 0.0f);
    entry.last_update = NowSeconds();
    if (out != nullptr) std::copy(entry.times.begin(), entry.times.end(), out);
}

void TdxReadDatedHistory(int32_t count, float* out, const float* in_a, const float* in_b, const float* in_c) {
    if (count <= 0) return;
    const TdxInputs in = LastInputs(count, in_a, in_b, in_c);
    if (!AcceptsReadSlot(in.b)) return;
    const int32_t slot = TruncateToInt(in.b);
    const std::string text = ReadingCodeText(in.a);
    const DatedKey key = SplitDatedKey(text, in.a, HongKongMode());
    const bool day_period = key.period_code == 8;
    const auto cached = g_dated.bar_times.find({text, slot});
    if (!day_period) {
        if (cached == g_dated.bar_times.end()) {
            LogNotYetCalled(L"%s TDXDLL1(33 函数 还没调用", text);
            return;
        }
        if (static_cast<std::size_t>(count) < cached->second.times.size()) return;
    }
    if (cached != g_dated.bar_times.end()) cached->second.last_update = NowSeconds();

    const std::size_t n = day_period ? static_cast<std::size_t>(count) : cached->second.times.size();
    const LocalTimeRules rules;  // read once for all the bars
    std::vector<std::optional<uint32_t>> bar_times(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float date = in_c != nullptr ? in_c[i] : 0.0f;
        bar_times[i] =
            DatedBarTime(date, day_period ? std::nullopt : std::optional<float>(cached->second.times[i]), rules);
    }
    const std::vector<HistoryPoint> series = ReadDatedSeries(key, slot);
    LaySeriesOnBars(series, bar_times, key.period_code, IsMarketWideSlot(slot), out, count);
}

}  // namespace pintle
