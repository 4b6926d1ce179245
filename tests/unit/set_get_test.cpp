// Set and Get over the own store, the TDX twins' key parts, and the rules
// that lay a history series onto bars.
#include <gtest/gtest.h>

#include "common/clock.h"
#include "common/settings.h"
#include "formula/boundary_state.h"
#include "log/plugin_log.h"
#include "store/series_rules.h"
#include "support/plugin_sandbox.h"
#include "support/store_bytes.h"
#include "support/store_calls.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

constexpr uint32_t kNow = 1772674205;       // 2026-03-05 09:30:05 local (UTC+8)
constexpr uint32_t kMidnight = 1772640000;  // 2026-03-05 00:00 local, 2026-03-04 16:00 UTC
const std::vector<uint32_t> kToday = {kNow - 120, kNow - 60, kNow};
const std::vector<uint32_t> kYesterday = {kNow - 86400 - 60, kNow - 86400};
using Results = std::vector<double>;

class SetGet : public ::testing::Test {
protected:
    SetGet() { OpenOwnStore(Db(), true); }
    std::wstring Db() const { return dir_.File(L"data.db"); }
    std::string Bytes(const std::wstring& file = L"data.db") const { return ReadFileBytes(dir_.File(file)); }

    TempDir dir_{L"set-get"};
    PluginSandbox sandbox_{dir_.path()};
    ManualClock clock_{kNow};
    ScopedClock installed_{clock_};
};

// With one entry per bucket a chart's bars walk along the entries instead of
// searching: every bar, in order or not, still gets the one entry of its
// bucket, or none.
TEST(SeriesRules, OneEntryPerBucketGivesEachBarTheEntryOfItsBucket) {
    std::vector<HistoryPoint> days;
    for (uint32_t d = 0; d < 40; d += 1 + d % 3) days.push_back({kMidnight + d * 86400 + 3600, double(d)});
    std::vector<uint32_t> bars;
    for (uint32_t d = 0; d < 45; ++d) bars.push_back(kMidnight + d * 86400 + 7200);
    bars.push_back(kMidnight + 4 * 86400);  // back in time, to a day with an entry
    bars.push_back(kMidnight + 5 * 86400);  // and to one without
    bars.push_back(kMidnight - 86400);      // before the first entry
    const std::vector<std::ptrdiff_t> got = MatchBars(days, bars, 8);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        std::ptrdiff_t want = -1;
        for (std::size_t k = 0; k < days.size(); ++k)
            if (BarBucket(8, days[k].time) == BarBucket(8, bars[i])) want = static_cast<std::ptrdiff_t>(k);
        EXPECT_EQ(got[i], want) << i;
    }
}

TEST_F(SetGet, SetThenGetOnTheLastBarAndWhatTheFileHolds) {
    EXPECT_EQ(CallDzh(SetValue, false, {1.5, 100, 2, 0}, kToday), (Results{0, 0, 1}));
    EXPECT_EQ(CallDzh(GetValue, false, {100, 2, 0, 0}, kToday), (Results{0, 0, 1.5}));
    EXPECT_EQ(CallDzh(GetValue, false, {100, 3, 0, 0}, kToday), (Results{0, 0, 0}));
    EXPECT_EQ(CallDzh(GetValue, false, {100, 2, 0, 1}, kToday, 5, "600000.SH"), (Results{1.5, 1.5, 1.5}));
    EXPECT_EQ(CallDzh(SetValue, false, {1.1, 101, 0, 0}, kToday, 5, "SZ000001"), (Results{0, 0, 1}));
    EXPECT_EQ(CallDzh(SetValue, true, {-2, 100, 0, 1}, kToday), (Results{0, 0, 1}));
    const std::string stored = Head(4, 3) + Rec48("600000", 2, 0, 100, 0, 1.5, kNow) +
                               Rec48("000001", 0, 0, 101, 0, 1.100000023841858, kNow) +
                               Rec48("\xC8\xAB\xBE\xD6", 0, 1, 100, 0, -2, kNow);
    EXPECT_EQ(Bytes(), stored);

    // Assistant slots store nothing; without a last bar there is nothing to store under.
    EXPECT_EQ(CallDzh(SetValue, false, {1, 99, 0, 0}, kToday), (Results{0, 0, 0}));
    FormulaBuilder no_bar_array(3), negative(3);
    no_bar_array.Arg(1).Arg(102).get()->bars = nullptr;
    negative.Arg(1).Arg(102).get()->bar_count = -3;
    for (FormulaBuilder* call : {&no_bar_array, &negative}) {
        SetValue(call->raw(), false);
        EXPECT_EQ(call->result(), (Results{-1, -1, -1}));
    }
    EXPECT_EQ(Bytes(), stored);
}

TEST_F(SetGet, HistoryPeriodsAndTheTradeDayCheck) {
    // Argument 4 = 13: assistant field 13 and 15-minute buckets.
    EXPECT_EQ(CallDzh(SetValue, false, {4, 10001, 0, 13}, kToday), (Results{0, 0, 1}));
    EXPECT_EQ(Bytes().substr(8), Rec48("600000", 0, 13, 10001, 5, 4, kNow));
    EXPECT_EQ(Bytes(L"data\\13\\600000\\0\\5\\10001.dat"), Head(2, 1) + Entry(kNow, 4));
    // Chart period 1 gives period 0, written to and read from directory 8.
    EXPECT_EQ(CallDzh(SetValue, false, {7, 10000, 0, 0}, kToday, 1), (Results{0, 0, 1}));
    EXPECT_EQ(Bytes(L"data\\0\\600000\\0\\8\\10000.dat"), Head(2, 1) + Entry(kNow, 7));
    EXPECT_EQ(CallDzh(GetValue, false, {10000, 0, 0, 0}, kToday, 1), (Results{0, 0, 7}));

    WriteFileBytes(dir_.File(L"Pintle.ini"), "[Settings]\r\nOnlyTradeTime=1\r\n");
    LoadSettings();
    EXPECT_EQ(CallDzh(SetValue, false, {9, 102, 0, 0}, kYesterday), (Results{0, 0}));
    EXPECT_EQ(LogMessagesOf(ReadFileBytes(PluginLog::Instance().Path())).back(),
              "非交易日或数据不完整, Set函数不记录 600000 最新数据为 2026-03-04 09:30:05  ");
    EXPECT_EQ(OwnStore().ReadValue("600000", 0, 0, 102).value, 0.0);
    EXPECT_EQ(CallDzh(SetValue, false, {9, 102, 0, 0}, {kMidnight}), (Results{1}));
    EXPECT_EQ(TdxSetValue({600000, 103, 8}, false), 1.0f);  // the TDX Set knows no trade day
    EXPECT_EQ(OwnStore().ReadValue("600000", 0, 0, 103).value, 8.0);
}

TEST_F(SetGet, TdxSetAndGetSplitTheirKeyNumbers) {
    EXPECT_EQ(TdxSetValue({15600000, 200, 3.5}, false), 1.0f);
    EXPECT_EQ(TdxSetValue({12, 201, 4.5}, true), 1.0f);
    EXPECT_EQ(TdxSetValue({600000, 99, 1}, false), 0.0f);
    Boundary().hong_kong_mode = 1;
    EXPECT_EQ(TdxSetValue({100700, 202, 5}, false), 1.0f);
    Boundary().hong_kong_mode = 0;
    EXPECT_EQ(Bytes(), Head(4, 3) + Rec48("600000", 5, 1, 200, 0, 3.5, kNow) +
                           Rec48("\xC8\xAB\xBE\xD6", 2, 1, 201, 0, 4.5, kNow) + Rec48("00700", 1, 0, 202, 0, 5, kNow));
    EXPECT_EQ(TdxGetValue({600000, 200, 15}, false), 3.5f);
    EXPECT_EQ(TdxGetValue({600000, 200, 5}, false), 0.0f);
    EXPECT_EQ(TdxGetValue({12, 201, 0}, true), 4.5f);
    EXPECT_EQ(TdxGetValue({12, -201, 0}, true), 0.0f);
}

}  // namespace
}  // namespace pintle::test
