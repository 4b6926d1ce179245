// TDX 30-34 over the own store: values written under a remembered bar date
// and time, series laid onto 5-minute and day bars, the bounded bar time
// cache, and the dividend adjustment of a price on a known record set.
#include <gtest/gtest.h>

#include "common/clock.h"
#include "common/settings.h"
#include "log/plugin_log.h"
#include "plugin/tdx_numbered.h"
#include "store/dated_history_rules.h"
#include "support/plugin_sandbox.h"
#include "support/store_bytes.h"
#include "support/tdx_calls.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

constexpr uint32_t kNow = 1772674205;        // 2026-03-05 09:30:05 local (UTC+8)
constexpr uint32_t k0930 = 1772674200;       // 2026-03-05 09:30 local
constexpr uint32_t kMarch15 = 1710469800;    // 2024-03-15 10:30 local
constexpr int64_t kToday = 1772640000;       // 2026-03-05 00:00 local

TEST(DatedHistoryRules, APriceIsAdjustedForTheExDatesAfterItsDayUpToToday) {
    // The records of tests/data/sharebonus/600000.phtml; ex-dates are local midnights.
    const std::vector<ShareBonusRecord> records = {{1268150400, 0, 2.5f, 4.5f, 0}, {1563206400, 3, 0, 0, 2},
                                                   {1590508800, 10, 3, 5.8f, 0}, {1687276800, 3, 0, 0, 1.5f},
                                                   {1720022400, 0, 0, 0, 4.15f}};
    std::vector<int64_t> midnights;
    for (const auto& r : records) midnights.push_back(r.ex_date);
    struct Case { float price; int64_t day, today; float adjusted; };
    for (const Case& c : std::vector<Case>{
             {10, 1546358400, kToday, 2.50819349f},  // 2019-01-02: the four newest records
             {10, 1687276800, kToday, 9.58500004f},  // on an ex-date: only the later one
             {10, 1720022400, kToday, 10},           // on or after the newest
             {10, 1546358400, 1590940800, 3.31952691f},  // seen from 2020-06-01: later records skipped
             {20, 1230739200, kToday, 4.72721958f}}) {   // 2009: the rights issue of 2010 as well
        EXPECT_EQ(AdjustedPrice(c.price, c.day, c.today, records, midnights), c.adjusted) << c.day << " " << c.today;
    }
    // Records no page gives: a step that divides by 0 or overflows keeps the stored price.
    EXPECT_EQ(AdjustedPrice(10, 0, kToday, {{1, -10, 0, 0, 1}}, {1}), 10.0f);
    EXPECT_EQ(AdjustedPrice(3e38f, 0, kToday, {{1, 0, 10, 3e38f, 0}}, {1}), 3e38f);
}

class DatedHistory : public ::testing::Test {
protected:
    DatedHistory() { OpenOwnStore(dir_.File(L"data.db"), true); }
    std::string Bytes(const std::wstring& file) const { return ReadFileBytes(dir_.File(file)); }
    std::vector<std::string> Log() const { return LogMessagesOf(ReadFileBytes(PluginLog::Instance().Path())); }

    TempDir dir_{L"dated-history"};
    PluginSandbox sandbox_{dir_.path()};
    ManualClock clock_{kNow};
    ScopedClock installed_{clock_};
};

TEST_F(DatedHistory, ThirtyThirtyOneThirtyTwoStoreUnderTheRememberedBarTime) {
    struct Case { float code; const wchar_t* file; };
    for (const Case& c : std::vector<Case>{{600000, L"data\\0\\600000\\0\\3\\10001.dat"},      // minute period
                                           {15600000, L"data\\0\\600000\\1\\8\\10001.dat"}}) {  // qualifier 1, day
        EXPECT_EQ(CallTdx(Tdx30, c.code, 10001, {0, 1240315}), "1 1");
        EXPECT_EQ(CallTdx(Tdx31, c.code, 10001, {0, 1030}), "1 1");
        EXPECT_EQ(CallTdx(Tdx32, c.code, 10001, {0, 2.5}), "1 1");
        EXPECT_EQ(Bytes(c.file), Head(2, 1) + Entry(kMarch15, 2.5)) << c.code;
    }
    EXPECT_EQ(Log(), std::vector<std::string>{});
}

TEST_F(DatedHistory, WritesThatCannotBeFiledLeaveTheOutputAndSayWhy) {
    EXPECT_EQ(CallTdx(Tdx31, 600000, 10001, {1030}), "-1");  // before 30
    EXPECT_EQ(CallTdx(Tdx32, 1600000, 10001, {2.5}), "-1");
    EXPECT_EQ(CallTdx(Tdx30, 600000, 9999, {1240315}), "-1");  // slots below 10000 do nothing
    EXPECT_EQ(CallTdx(Tdx31, 600000, 9999, {1030}), "-1");
    EXPECT_EQ(CallTdx(Tdx30, 600000, 10001, {1241315}), "1");  // month 13
    EXPECT_EQ(CallTdx(Tdx32, 600000, 10001, {2.5}), "-1");
    WriteFileBytes(dir_.File(L"Pintle.ini"), "[Settings]\r\nOnlyTradeTime=1\r\n");
    LoadSettings();
    EXPECT_EQ(CallTdx(Tdx30, 600000, 10001, {1240315}), "1");
    EXPECT_EQ(CallTdx(Tdx31, 600000, 10001, {1030}), "1");
    EXPECT_EQ(CallTdx(Tdx32, 600000, 10001, {2.5}), "-1");
    EXPECT_EQ(Log(), (std::vector<std::string>{"600000 TDXDLL1(30 函数 还没调用", "1600000 TDXDLL1(30 函数 还没调用",
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
    EXPECT_EQ(Log(), std::vector<std::string>{"1600000 TDXDLL1(33 函数 还没调用"});
}

TEST_F(DatedHistory, TheBarTimeCacheDropsTheListUpdatedLongestAgo) {
    for (int32_t slot = 10000; slot <= 10050; ++slot) {  // 51 lists, one second apart
        CallTdx(Tdx33, 1600000, float(slot), {930});
        clock_.AdvanceSeconds(1);
    }
    CallTdx(Tdx34, 1600000, 10000, {1260305});  // still there, and now the newest
    CallTdx(Tdx33, 1600000, 10051, {930});      // drops 10001
    for (const float slot : {10000, 10002, 10050, 10051, 10001}) CallTdx(Tdx34, 1600000, slot, {1260305});
    EXPECT_EQ(Log(), std::vector<std::string>{"1600000 TDXDLL1(33 函数 还没调用"});
}

}  // namespace
}  // namespace pintle::test
