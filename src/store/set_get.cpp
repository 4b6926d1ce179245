// Set, Get and the ratings for both terminals. Slots below 100 belong to the
// assistant (read from its store, a few forwarded to it on Set), slots from
// 100 on to the own store; history slots also keep a series per period that
// a DZH Get lays onto the chart's bars.
#include "store/set_get.h"

#include <optional>

#include "assistant/assistant.h"
#include "common/clock.h"
#include "common/throttle.h"
#include "common/local_time.h"
#include "common/settings.h"
#include "common/text.h"
#include "formats/command_record.h"
#include "formula/boundary_state.h"
#include "formula/formula.h"
#include "log/plugin_log.h"
#include "store/series_rules.h"
#include "store/store.h"

namespace pintle {
namespace {

// A rating older than this is asked for again.
constexpr int64_t kRatingMaxAgeSeconds = 300;

bool IsForwardedSlot(int32_t slot) { return slot >= 50 && slot <= 60; }

int32_t IntArg(const FormulaCall& call, int number) { return TruncateToInt(ReadArg(call, number)); }

std::string CodeOf(const FormulaCall& call, bool global) { return global ? kGlobalCodeGbk : FormulaCode(call); }

// 0.0 (or any value) on every bar, whatever the all-bars rule says.
void FillResult(FormulaCall& call, double value) {
    if (call.bar_count <= 0 || call.result == nullptr) return;
    for (int32_t i = 0; i < call.bar_count; ++i) call.result[i] = value;
}

// Each bar gets the value of the entry its time matches, else 0.0, or with
// `carry` (from bar 2 on) the value the bar before it got.
void WriteSeries(FormulaCall& call, const std::vector<HistoryPoint>& series, bool carry) {
    if (call.bar_count <= 0 || call.result == nullptr) return;
    const std::size_t n = static_cast<std::size_t>(call.bar_count);
    std::vector<std::ptrdiff_t> matches(n, -1);
    if (call.bars != nullptr) {
        std::vector<uint32_t> times(n);
        for (std::size_t i = 0; i < n; ++i) times[i] = call.bars[i].time;
        matches = MatchBars(series, times, call.period);
    }
    for (std::size_t i = 0; i < n; ++i) {
        double value = 0.0;
        if (matches[i] >= 0) value = series[static_cast<std::size_t>(matches[i])].value;
        else if (carry && i >= 2) value = call.result[i - 1];
        call.result[i] = value;
    }
}

// The DZH Get after its gate. `fixed_slot` is the rating's slot. Gives the
// record's time of an ordinary slot (0 for an absent key or a history slot).
uint32_t RunGet(FormulaCall& call, const std::string& code, std::optional<int32_t> fixed_slot) {
    const int32_t qualifier = IntArg(call, 2);
    const int32_t assistant = IntArg(call, 3);
    const int32_t arg4 = IntArg(call, 4);
    SelectAssistant(assistant);
    KeyValueStore& assistant_store = CurrentAssistantStore();
    const int32_t slot = fixed_slot ? *fixed_slot : IntArg(call, 1);

    if (slot >= 0 && slot <= 85) {
        const TimeSlotRead read = MapTimeSlot(slot);
        const StoredValue v = assistant_store.ReadValue(code, qualifier, assistant, read.slot);
        const double value = ConvertStoredTime(read.conversion, false, v.value, NowSeconds());
        WriteResult(call, static_cast<float>(value), arg4 != 0);
        return v.time;
    }
    if (slot >= 100 && slot <= 9999) {
        const StoredValue v = OwnStore().ReadValue(code, qualifier, assistant, slot);
        WriteResult(call, static_cast<float>(v.value), arg4 != 0);
        return v.time;
    }
    const auto series = ReadGetSeries(code, qualifier, assistant, slot, call.period - 1);
    WriteSeries(call, series, IsAssistantHistorySlot(slot) && arg4 == 0);
    return 0;
}

// A rating stamped after now (the clock was set back) is old too: it would
// otherwise never be asked for again until the clock caught up.
bool RatingIsOld(uint32_t stored_time) { return SecondsSince(stored_time, NowSeconds()) > kRatingMaxAgeSeconds; }

}  // namespace

std::string FormulaCode(const FormulaCall& call) {
    const std::string_view label = LabelText(call);
    // Removing the marks from ASCII bytes gives what the trip through wide
    // text gives, without either conversion.
    if (IsAscii(label)) return NormaliseCodeBytes(std::string(label));
    return WideToAnsi(NormaliseCode(AnsiToWide(label)));
}

bool RefusedOutsideTradeDay(std::string_view code, uint32_t bar_time) {
    if (!CurrentSettings().only_trade_time || SameLocalDate(bar_time, NowSeconds())) return false;
    const std::string when = FormatTimestamp(ToLocalTime(bar_time));
    PluginLog::Instance().WriteFormatted(L"非交易日或数据不完整, Set函数不记录 %s 最新数据为 %s ",
                                         {AnsiToWide(code), std::wstring(when.begin(), when.end())});
    return true;
}

std::vector<HistoryPoint> ReadSlotHistory(KeyValueStore& store, std::string_view code, int32_t qualifier,
                                          int32_t assistant, int32_t slot, int32_t period) {
    std::vector<HistoryPoint> series = store.ReadHistory(code, qualifier, assistant, HistoryFileSlot(slot), period);
    if (slot == 96 || slot == 97) DivideByFirst(series);
    return series;
}

std::vector<HistoryPoint> ReadGetSeries(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot,
                                        int32_t period) {
    if (!IsAssistantHistorySlot(slot)) return ReadSlotHistory(OwnStore(), code, qualifier, assistant, slot, period);
    KeyValueStore& store = CurrentAssistantStore();
    std::vector<HistoryPoint> series = ReadSlotHistory(store, code, qualifier, assistant, slot, period);
    const int32_t other = AlternatePeriod(period);
    if (series.empty() && other != period) series = ReadSlotHistory(store, code, qualifier, assistant, slot, other);
    return series;
}

StoredValue TdxReadValue(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot) {
    KeyValueStore& assistant_store = CurrentAssistantStore();
    if (slot < 0) return {};
    if (slot >= 100) return OwnStore().ReadValue(code, qualifier, assistant, slot);
    const TimeSlotRead read = MapTimeSlot(slot);
    if (QuotePushActive()) assistant_store.ReloadIfChanged();
    StoredValue v = assistant_store.ReadValue(code, qualifier, assistant, read.slot);
    v.value = ConvertStoredTime(read.conversion, true, v.value, NowSeconds());
    return v;
}

int32_t SetValue(FormulaCall& call, bool global) {
    // Without a last bar (no bars, a negative count, no bar array) there is
    // no bar time to store under.
    const BarRecord* last = LastBar(call);
    if (last == nullptr) return 0;
    if (!LastBarGate(call)) return 0;
    const float value = ReadArg(call, 1);
    const int32_t slot = IntArg(call, 2);
    const int32_t qualifier = IntArg(call, 3);
    const int32_t arg4 = IntArg(call, 4);
    const std::string code = CodeOf(call, global);

    if (slot < 100) {
        if (IsForwardedSlot(slot)) {
            SelectAssistant(arg4);
            SendValueCommand(global ? L"SetGlobal" : L"Set", code, slot, qualifier, value);
        }
        FillResult(call, 0.0);
        return 0;
    }
    if (RefusedOutsideTradeDay(code, last->time)) {
        FillResult(call, 0.0);
        return 0;
    }
    OwnStore().WriteValue(code, qualifier, arg4, slot, static_cast<double>(value), SetPeriod(call.period, arg4),
                          last->time);
    WriteResult(call, 1.0f, false);
    return 0;
}

int32_t GetValue(FormulaCall& call, bool global) {
    if (!LastBarGate(call)) return 0;
    RunGet(call, CodeOf(call, global), std::nullopt);
    return 0;
}

int32_t GetRating(FormulaCall& call, bool market) {
    if (!LastBarGate(call)) return 0;
    SelectAssistant(SplitSelector(IntArg(call, 2)).assistant);
    const int32_t sub_kind = market ? 80 : 81;
    const uint32_t stored_time = RunGet(call, CodeOf(call, market), sub_kind);
    // The DZH command rules send nothing when argument 1 is 0.
    if (RatingIsOld(stored_time)) {
        SendDzhCommand(market ? L"AiMarketRating" : L"AiRating", kKindOrderManagement, sub_kind, call, false, false);
    }
    return 0;
}

float TdxSetValue(const TdxInputs& in, bool global) {
    const TdxCodeKey key = global ? TdxCodeKey{kGlobalCodeGbk, TruncateToInt(in.a)}
                                  : SplitTdxCodeText(TdxCodeText(in.a), Boundary().hong_kong_mode.load() != 0);
    const KeyNumber parts = SplitKeyNumber(key.p);
    const int32_t slot = TruncateToInt(in.b);
    if (slot >= 100) {
        OwnStore().WriteValue(key.code, parts.qualifier, parts.assistant, slot, static_cast<double>(in.c), 0,
                              kNoBarTime);
        return 1.0f;
    }
    if (IsForwardedSlot(slot)) SendValueCommand(global ? L"TDXDLL1(26" : L"TDXDLL1(24", key.code, slot, parts.qualifier, in.c);
    return 0.0f;
}

float TdxGetValue(const TdxInputs& in, bool global) {
    const KeyNumber parts = SplitKeyNumber(TruncateToInt(global ? in.a : in.c));
    const std::string code = global ? std::string(kGlobalCodeGbk) : TdxCodeText(in.a);
    return static_cast<float>(TdxReadValue(code, parts.qualifier, parts.assistant, TruncateToInt(in.b)).value);
}

float TdxGetRating(const TdxInputs& in, bool market) {
    const std::string code = market ? std::string(kGlobalCodeGbk) : TdxCodeText(in.a);
    const int32_t assistant = TruncateToInt(market ? in.b : in.c);
    const bool may_request = TruncateToInt(market ? in.a : in.b) != 0;
    const int32_t sub_kind = market ? 80 : 81;
    const StoredValue v = TdxReadValue(code, 0, assistant, sub_kind);
    if (may_request && RatingIsOld(v.time)) {
        SendTdxCommand(market ? L"TDXDLL1(46" : L"TDXDLL1(45", market ? 0.0f : in.a,
                       market ? std::string(kMarketSentimentGbk) : code, sub_kind, 0, 0.0f,
                       static_cast<int32_t>(kKindOrderManagement), false);
    }
    return static_cast<float>(v.value);
}

}  // namespace pintle
