// Set and Get over the own store (what the file holds, history periods, the
// trade-day check, the TDX twins' key parts), and TDX 30-34: values written
// under a remembered bar date and time, series laid onto 5-minute and day
// bars, and the bounded bar time cache.
#include <gtest/gtest.h>

#include "formula/boundary_state.h"
#include "plugin/tdx_numbered.h"
#include "support/plugin_sandbox.h"
#include "support/store_bytes.h"
#include "support/formula_calls.h"

namespace pintle::test {
namespace {

constexpr uint32_t kNow = 1772674205;       // 2026-03-05 09:30:05 local (UTC+8)
constexpr uint32_t kMidnight = 1772640000;  // 2026-03-05 00:00 local, 2026-03-04 16:00 UTC
constexpr uint32_t k0930 = 1772674200;      // 2026-03-05 09:30 local
constexpr uint32_t kMarch15 = 1710469800;   // 2024-03-15 10:30 local
const std::vector<uint32_t> kToday = {kNow - 120, kNow - 60, kNow};
const std::vector<uint32_t> kYesterday = {kNow - 86400 - 60, kNow - 86400};
using Results = std::vector<double>;

class SetGet : public SandboxTest {
protected:
    SetGet() { OpenOwnStore(dir_.File(L"data.db"), true); }
};
using DatedHistory = SetGet;

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

    UseSettings("OnlyTradeTime=1\r\n");
    EXPECT_EQ(CallDzh(SetValue, false, {9, 102, 0, 0}, kYesterday), (Results{0, 0}));
    EXPECT_EQ(Log().back(),
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

TEST_F(DatedHistory, ThirtyThirtyOneThirtyTwoStoreUnderTheRememberedBarTime) {
    struct Case { float code; const wchar_t* file; };
    for (const Case& c : std::vector<Case>{{600000, L"data\\0\\600000\\0\\3\\10001.dat"},      // minute period
                                           {15600000, L"data\\0\\600000\\1\\8\\10001.dat"}}) {  // qualifier 1, day
        EXPECT_EQ(CallTdx(Tdx30, c.code, 10001, {0, 1240315}), "1 1");
        EXPECT_EQ(CallTdx(Tdx31, c.code, 10001, {0, 1030}), "1 1");
        EXPECT_EQ(CallTdx(Tdx32, c.code, 10001, {0, 2.5}), "1 1");
        EXPECT_EQ(Bytes(c.file), Head(2, 1) + Entry(kMarch15, 2.5)) << c.code;
    }
    EXPECT_EQ(Log(), Lines{});
}

TEST_F(DatedHistory, WritesThatCannotBeFiledLeaveTheOutputAndSayWhy) {
    EXPECT_EQ(CallTdx(Tdx31, 600000, 10001, {1030}), "-1");  // before 30
    EXPECT_EQ(CallTdx(Tdx32, 1600000, 10001, {2.5}), "-1");
    EXPECT_EQ(CallTdx(Tdx30, 600000, 9999, {1240315}), "-1");  // slots below 10000 do nothing
    EXPECT_EQ(CallTdx(Tdx31, 600000, 9999, {1030}), "-1");
    EXPECT_EQ(CallTdx(Tdx30, 600000, 10001, {1241315}), "1");  // month 13
    EXPECT_EQ(CallTdx(Tdx32, 600000, 10001, {2.5}), "-1");
    UseSettings("OnlyTradeTime=1\r\n");
    EXPECT_EQ(CallTdx(Tdx30, 600000, 10001, {1240315}), "1");
    EXPECT_EQ(CallTdx(Tdx31, 600000, 10001, {1030}), "1");
    EXPECT_EQ(CallTdx(Tdx32, 600000, 10001, {2.5}), "-1");
    EXPECT_EQ(Log(), (Lines{"600000 TDXDLL1(30 函数 还没调用", "1600000 TDXDLL1(30 函数 还没调用",
                                               "600000 TDXDLL1(32 日期1241315 时间0 不是有效的时间, 不记录",
                                               "非交易日或数据不完整, Set函数不记录 600000 最新数据为 2024-03-15 10:30:00  "}));
    EXPECT_EQ(Bytes(L"data.db"), Head(4, 0));
}

TEST_F(DatedHistory, SeriesLieOnFiveMinuteAndDayBars) {
    OwnStore().WriteValue("600000", 0, 0, 10002, 1, 4, k0930 + 60);   // 09:31
    OwnStore().WriteValue("600000", 0, 0, 10002, 3, 4, k0930 + 840);  // 09:44
    OwnStore().WriteValue("600000", 0, 0, 10004, 4, 8, k0930 - 153000);  // 2026-03-03 15:00
    OwnStore().WriteValue("600000", 0, 0, 10004, 5, 8, k0930);
    const std::vector<float> today(4, 1260305);
    EXPECT_EQ(CallTdx(Tdx34, 1600000, 10002, today), "-1 -1 -1 -1");  // before 33
    EXPECT_EQ(CallTdx(Tdx33, 1600000, 10002, {930, 935, 940, 945}), "930 935 940 945");
    EXPECT_EQ(CallTdx(Tdx34, 1600000, 10002, today), "1 qnan 3 qnan");
    EXPECT_EQ(CallTdx(Tdx34, 1600000, 10002, {1260305, 1260305, 1260305}), "-1 -1 -1");  // fewer bars than times
    EXPECT_EQ(CallTdx(Tdx34, 5600000, 10004, {1260302, 1260303, 1260304, 1260305, 1261305}),
              "qnan 4 qnan 5 qnan");  // the day period needs no 33
    EXPECT_EQ(Log(), Lines{"1600000 TDXDLL1(33 函数 还没调用"});
}

TEST_F(DatedHistory, TheBarTimeCacheDropsTheListUpdatedLongestAgo) {
    for (int32_t slot = 10000; slot <= 10050; ++slot) {  // 51 lists, one second apart
        CallTdx(Tdx33, 1600000, float(slot), {930});
        clock_.AdvanceSeconds(1);
    }
    OwnStore().WriteValue("600000", 0, 0, 10001, 7, 4, k0930);  // a value at the one bar, under every slot
    for (const int32_t slot : {10000, 10002, 10050, 10051}) OwnStore().WriteValue("600000", 0, 0, slot, 7, 4, k0930);
    EXPECT_EQ(CallTdx(Tdx34, 1600000, 10000, {1260305}), "7");  // still there, and now the newest
    CallTdx(Tdx33, 1600000, 10051, {930});                       // drops 10001
    Lines outputs;
    for (const float slot : {10000, 10002, 10050, 10051, 10001}) outputs.push_back(CallTdx(Tdx34, 1600000, slot, {1260305}));
    EXPECT_EQ(outputs, (Lines{"7", "7", "7", "7", "-1"}));
    EXPECT_EQ(Log(), Lines{"1600000 TDXDLL1(33 函数 还没调用"});
}

}  // namespace
}  // namespace pintle::test
