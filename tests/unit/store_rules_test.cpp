// The store's byte-level rules: keys, history slots and paths, buckets, the
// own store's place, how a history series is laid onto bars, and how a
// stored price is adjusted for dividends.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <random>

#include "common/text.h"
#include "startup/data_path.h"
#include "store/dated_history_rules.h"
#include "store/series_rules.h"
#include "store/store_rules.h"

namespace pintle::test {
namespace {

constexpr uint32_t kNow = 1772674205;       // 2026-03-05 09:30:05 local (UTC+8)
constexpr uint32_t kMinute = 1772674200;    // 09:30:00, a whole 5, 15 and 30 minutes
constexpr uint32_t kMidnight = 1772640000;  // 2026-03-05 00:00 local, 2026-03-04 16:00 UTC
constexpr char kGlobal[] = "\xC8\xAB\xBE\xD6";  // 全局 in GBK

TEST(StoreRules, KeysSlotsPathsAndBuckets) {
    // Ordered by code bytes (unsigned, then length), qualifier, slot, period, assistant.
    const std::vector<ValueKey> ordered = {{"60000", 9, 9, 9, 9},   {"600000", 1, 9, 9, 9}, {"600000", 2, 1, 9, 9},
                                           {"600000", 2, 2, 0, 9},  {"600000", 2, 2, 1, 0}, {"600000", 2, 2, 1, 1},
                                           {"6000000", 0, 0, 0, 0}, {kGlobal, 0, 0, 0, 0}};
    for (std::size_t i = 0; i + 1 < ordered.size(); ++i) {
        EXPECT_TRUE(ordered[i] < ordered[i + 1]) << i;
        EXPECT_FALSE(ordered[i + 1] < ordered[i]) << i;
    }
    for (const auto& [slot, history] : std::vector<std::pair<int32_t, bool>>{
             {85, false}, {86, true}, {99, true}, {100, false}, {9999, false}, {10000, true}, {-1, true}, {INT_MIN, true}})
        EXPECT_EQ(IsHistorySlot(slot), history) << slot;

    struct PathCase { int32_t slot, period; const wchar_t* path; };
    for (const auto& c : std::vector<PathCase>{{10001, 3, L"data\\1\\600000\\2\\3\\10001.dat"},
                                               {10001, 0, L"data\\1\\600000\\2\\8\\10001.dat"},
                                               {92, 3, L"data\\1\\600000\\2\\8\\92.dat"},
                                               {93, 0, L"data\\1\\600000\\2\\8\\93.dat"},
                                               {-10001, 5, L"data\\1\\600000\\2\\5\\10001.dat"},
                                               {INT_MIN, 4, L"data\\1\\600000\\2\\4\\2147483648.dat"}})
        EXPECT_EQ(HistoryRelativePath(L"600000", 2, 1, c.slot, c.period), c.path);
    for (const wchar_t* code : {L"", L".", L"..", L"a..b", L"a\\b", L"a/b", L"C:", L"a\x01", L"a?"})
        EXPECT_FALSE(IsPlainPathComponent(code)) << WideToUtf8(code);
    EXPECT_TRUE(IsPlainPathComponent(L"全局"));

    struct BucketCase { int32_t period, slot; uint32_t last, next; HistoryAppend expected; };
    const uint32_t utc_midnight = 1772755200;  // 2026-03-06 00:00 UTC, 08:00 local
    for (const auto& c : std::vector<BucketCase>{
             {3, 10001, kMinute, kMinute + 59, HistoryAppend::OverwriteLast},
             {1, 10001, kMinute + 59, kMinute + 60, HistoryAppend::Append},
             {4, 10001, kMinute, kMinute + 299, HistoryAppend::OverwriteLast},
             {4, 10001, kMinute + 299, kMinute + 300, HistoryAppend::Append},
             {5, 10001, kMinute, kMinute + 899, HistoryAppend::OverwriteLast},
             {6, 10001, kMinute + 1799, kMinute + 1800, HistoryAppend::Append},
             {7, 10001, kMinute + 1800, kMinute + 5399, HistoryAppend::OverwriteLast},
             {7, 10001, kMinute + 5399, kMinute + 5400, HistoryAppend::Append},
             {8, 10001, utc_midnight - 1, utc_midnight, HistoryAppend::Append},  // the UTC day, not the local one
             {2, 10001, utc_midnight, utc_midnight + 86399, HistoryAppend::OverwriteLast},
             {8, 92, kMinute, kMinute + 1, HistoryAppend::Append},
             {8, 93, kMinute + 1, kMinute, HistoryAppend::Ignore},
             {3, 92, kMinute, kMinute + 1, HistoryAppend::OverwriteLast},
             {3, 10001, kMinute + 60, kMinute + 59, HistoryAppend::Ignore}})
        EXPECT_EQ(PlanHistoryAppend(c.period, c.slot, c.last, c.next), c.expected) << c.period << " " << c.next;
}

TEST(StoreRules, OwnStorePlaceFollowsThePathSetting) {
    struct Case { const wchar_t* custom; const wchar_t* file; const wchar_t* create; bool writable; };
    for (const auto& c : std::vector<Case>{
             {L"", L"C:\\T\\TradeSelfData\\data.db", L"C:\\T\\TradeSelfData", true},
             {L"D:\\Data", L"D:\\Data\\TradeSelfData\\data.db", L"", false},
             {L"D:\\TradeSelfData", L"D:\\TradeSelfData\\data.db", L"", false},
             {L"D:\\TradeSelfData\\x", L"D:\\TradeSelfData\\x\\data.db", L"", false},
             {L"D:\\x\\data.db", L"D:\\x\\data.db", L"", false}}) {
        const OwnStorePlace place = ChooseOwnStorePlace(L"C:\\T\\", c.custom);
        EXPECT_EQ(place.file, c.file);
        EXPECT_EQ(place.create_dir, c.create);
        EXPECT_EQ(place.writable, c.writable);
    }
}

TEST(SeriesRules, BarsMatchEntriesInTheBucketOfTheChartsPeriodCode) {
    const uint32_t t = kNow - 5;  // 09:30:00
    const std::vector<HistoryPoint> minutes = {{t, 1}, {t + 900, 2}};
    // Local days: 01:00 on the 5th is still the 4th in UTC.
    const std::vector<HistoryPoint> days = {{kMidnight + 3600, 5}, {kMidnight + 86400 + 36000, 6}};
    struct Case { int32_t period; const std::vector<HistoryPoint>* series; uint32_t bar; std::ptrdiff_t match; };
    const std::vector<Case> cases = {
        {5, &minutes, t + 899, 0}, {5, &minutes, t + 900, 1}, {5, &minutes, t - 1, -1}, {5, &minutes, t + 1800, -1},
        {4, &minutes, t + 299, 0}, {4, &minutes, t + 300, -1}, {1, &minutes, t + 59, 0}, {15, &minutes, t + 60, -1},
        {7, &minutes, t + 1799, 0}, {100, &minutes, t, 0}, {100, &minutes, t + 1, -1},
        {2, &days, kMidnight + 54000, 0}, {8, &days, kMidnight + 54000, 0}, {9, &days, kMidnight - 1, -1},
        {12, &days, kMidnight + 86400, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(MatchBars(*c.series, {c.bar}, c.period), std::vector<std::ptrdiff_t>{c.match}) << c.period << " " << c.bar;

    // With one entry per bucket a chart's bars walk along the entries instead
    // of searching: every bar, in order or not, still gets the one entry of
    // its bucket, or none.
    std::vector<HistoryPoint> daily;
    for (uint32_t d = 0; d < 40; d += 1 + d % 3) daily.push_back({kMidnight + d * 86400 + 3600, double(d)});
    std::vector<uint32_t> bars;
    for (uint32_t d = 0; d < 45; ++d) bars.push_back(kMidnight + d * 86400 + 7200);
    bars.push_back(kMidnight + 4 * 86400);  // back in time, to a day with an entry
    bars.push_back(kMidnight + 5 * 86400);  // and to one without
    bars.push_back(kMidnight - 86400);      // before the first entry
    const std::vector<std::ptrdiff_t> got = MatchBars(daily, bars, 8);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        std::ptrdiff_t want = -1;
        for (std::size_t k = 0; k < daily.size(); ++k)
            if (BarBucket(8, daily[k].time) == BarBucket(8, bars[i])) want = static_cast<std::ptrdiff_t>(k);
        EXPECT_EQ(got[i], want) << i;
    }

    // A first value that is 0 only as a float divides nothing either.
    std::vector<HistoryPoint> ratio = {{t, 1e-50}, {t, 4}};
    DivideByFirst(ratio);
    EXPECT_EQ(ratio[1].value, 0.0);
}

// One price through AdjustPrices.
float Adjusted(float price, int64_t day, int64_t today, const std::vector<ShareBonusRecord>& records,
               const std::vector<int64_t>& midnights) {
    std::vector<float> prices = {price};
    AdjustPrices(prices, {day}, today, records, midnights);
    return prices[0];
}

TEST(DatedHistoryRules, APriceIsAdjustedForTheExDatesAfterItsDayUpToToday) {
    // The records of tests/data/sharebonus/600000.phtml; ex-dates are local midnights.
    const std::vector<ShareBonusRecord> records = {{1268150400, 0, 2.5f, 4.5f, 0}, {1563206400, 3, 0, 0, 2},
                                                   {1590508800, 10, 3, 5.8f, 0}, {1687276800, 3, 0, 0, 1.5f},
                                                   {1720022400, 0, 0, 0, 4.15f}};
    std::vector<int64_t> midnights;
    for (const auto& r : records) midnights.push_back(r.ex_date);
    struct Case { float price; int64_t day, today; float adjusted; };
    for (const Case& c : std::vector<Case>{
             {10, 1546358400, kMidnight, 2.50819349f},  // 2019-01-02: the four newest records
             {10, 1687276800, kMidnight, 9.58500004f},  // on an ex-date: only the later one
             {10, 1720022400, kMidnight, 10},           // on or after the newest
             {10, 1546358400, 1590940800, 3.31952691f},  // seen from 2020-06-01: later records skipped
             {20, 1230739200, kMidnight, 4.72721958f}}) {   // 2009: the rights issue of 2010 as well
        EXPECT_EQ(Adjusted(c.price, c.day, c.today, records, midnights), c.adjusted) << c.day << " " << c.today;
    }
    // Records no page gives: a step that divides by 0 or overflows keeps the stored price.
    EXPECT_EQ(Adjusted(10, 0, kMidnight, {{1, -10, 0, 0, 1}}, {1}), 10.0f);
    EXPECT_EQ(Adjusted(3e38f, 0, kMidnight, {{1, 0, 10, 3e38f, 0}}, {1}), 3e38f);
}

// The adjustment as it was first written, one price at a time: the records
// walked from the newest, those after today skipped, stopping at the first
// on or before the price's day. AdjustPrices must give its results bit for
// bit.
float WalkFromTheNewest(float price, int64_t price_midnight, int64_t today_midnight,
                        const std::vector<ShareBonusRecord>& records, const std::vector<int64_t>& midnights) {
    float p = price;
    for (std::size_t k = records.size(); k-- > 0;) {
        if (k >= midnights.size() || midnights[k] > today_midnight) continue;
        if (midnights[k] <= price_midnight) break;
        const ShareBonusRecord& r = records[k];
        if (r.rights_shares > 0.0f) {
            const float divisor = r.rights_shares * 0.1f + 1.0f;
            if (divisor == 0.0f) return price;
            p = (r.rights_shares * 0.1f * r.rights_price + p) / divisor;
        }
        const float divisor = r.bonus_shares * 0.1f + 1.0f;
        if (divisor == 0.0f) return price;
        p = (p - r.cash * 0.1f) / divisor;
        if (!std::isfinite(p)) return price;
    }
    return p;
}

std::vector<float> OneAtATime(const std::vector<float>& prices, const std::vector<int64_t>& days, int64_t today,
                              const std::vector<ShareBonusRecord>& records, const std::vector<int64_t>& midnights) {
    std::vector<float> out;
    for (std::size_t i = 0; i < prices.size(); ++i)
        out.push_back(WalkFromTheNewest(prices[i], days[i], today, records, midnights));
    return out;
}

// Bit patterns, so that every NaN and -0 counts.
std::vector<uint32_t> Bits(const std::vector<float>& values) {
    std::vector<uint32_t> bits;
    for (const float v : values) bits.push_back(std::bit_cast<uint32_t>(v));
    return bits;
}

::testing::AssertionResult SameAsOneAtATime(std::vector<float> prices, const std::vector<int64_t>& days, int64_t today,
                                            const std::vector<ShareBonusRecord>& records,
                                            const std::vector<int64_t>& midnights) {
    const std::vector<float> want = OneAtATime(prices, days, today, records, midnights);
    AdjustPrices(prices, days, today, records, midnights);
    const std::vector<uint32_t> got_bits = Bits(prices), want_bits = Bits(want);
    for (std::size_t i = 0; i < prices.size(); ++i) {
        if (got_bits[i] != want_bits[i])
            return ::testing::AssertionFailure() << "price " << i << " of " << prices.size() << " on day " << days[i]
                                                 << ": " << prices[i] << " instead of " << want[i];
    }
    return ::testing::AssertionSuccess();
}

TEST(DatedHistoryRules, AWholeSeriesIsAdjustedBitForBitAsOnePriceAtATime) {
    constexpr int64_t kDay = 86400;
    std::mt19937 random(20260305);
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };

    // Realistic: a company's 35 years of dividends, bonus shares and rights
    // issues (a few a year, some on one ex-date), and a day close every day
    // since 1990, seen from today and from dates in between.
    std::vector<ShareBonusRecord> records;
    for (int64_t day = kMidnight - 35 * 365 * kDay; day < kMidnight; day += (100 + random() % 300) * kDay) {
        ShareBonusRecord r{static_cast<uint32_t>(day)};
        r.cash = static_cast<float>(std::round(uniform(0, 8) * 100) / 100);
        if (random() % 3 == 0) r.bonus_shares = static_cast<float>(1 + random() % 10);
        if (random() % 8 == 0) {
            r.rights_shares = static_cast<float>(std::round(uniform(1, 3) * 10) / 10);
            r.rights_price = static_cast<float>(std::round(uniform(2, 9) * 100) / 100);
        }
        records.push_back(r);
        if (random() % 6 == 0) records.push_back({r.ex_date, 0, 2.5f, 4.5f, 0});
    }
    std::vector<int64_t> midnights;
    for (const auto& r : records) midnights.push_back(r.ex_date);
    std::vector<float> prices;
    std::vector<int64_t> days;
    for (int64_t day = kMidnight - 36 * 365 * kDay; day <= kMidnight; day += kDay) {
        days.push_back(day);
        prices.push_back(static_cast<float>(std::round(uniform(3, 60) * 100) / 100));
    }
    ASSERT_GT(records.size(), 40u);
    for (const int64_t today : {int64_t{kMidnight}, kMidnight - 3000 * kDay, kMidnight - 30 * 365 * kDay})
        EXPECT_TRUE(SameAsOneAtATime(prices, days, today, records, midnights)) << today;

    // Adversarial: figures no page gives (0 and negative divisors, NaN,
    // infinity, overflow, values that round away), ex-dates repeated, in the
    // future, out of order, midnights missing for the last records; prices
    // of every kind on days repeated and out of order.
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float figures[] = {0, 1e-45f, 1e-8f, 0.1f, 1, 2.5f, 10, 1e30f, 3e38f, FLT_MAX, -10, -1, -20, nan, inf, -inf};
    auto figure = [&] { return random() % 3 ? static_cast<float>(uniform(0, 20)) : figures[random() % std::size(figures)]; };
    const float price_kinds[] = {0, -0.0f, -5, 1e-45f, 1e-38f, 1e38f, FLT_MAX, nan, inf, -inf};
    for (int round = 0; round < 300; ++round) {
        const int64_t first = kMidnight - 400 * kDay;
        std::vector<ShareBonusRecord> rs(random() % 40);
        std::vector<int64_t> ms;
        for (ShareBonusRecord& r : rs) {
            r = {static_cast<uint32_t>(first + (random() % 500) * kDay), figure(), figure(), figure(), figure()};
            if (random() % 4 == 0) r.bonus_shares = random() % 2 ? -10.0f : 0.0f;  // a divisor of 0, or none
            if (random() % 3 == 0) r.rights_shares = 0;
        }
        if (round % 4 != 0)  // the contract: ascending ex-dates; every fourth round not
            std::stable_sort(rs.begin(), rs.end(), [](const auto& a, const auto& b) { return a.ex_date < b.ex_date; });
        for (const ShareBonusRecord& r : rs) ms.push_back(r.ex_date + (round % 5 == 0 ? 3600 : 0));
        if (round % 7 == 0 && !ms.empty()) ms.resize(random() % ms.size());
        std::vector<float> ps(random() % 300);
        std::vector<int64_t> ds(ps.size());
        for (std::size_t i = 0; i < ps.size(); ++i) {
            ps[i] = random() % 4 ? static_cast<float>(uniform(0.01, 100)) : price_kinds[random() % std::size(price_kinds)];
            ds[i] = first - 50 * kDay + static_cast<int64_t>(random() % 600) * kDay;
        }
        if (round % 3 == 0) {  // in order, as a history file keeps them
            std::sort(ds.begin(), ds.end());
        }
        const int64_t today = first + static_cast<int64_t>(random() % 560) * kDay;
        EXPECT_TRUE(SameAsOneAtATime(ps, ds, today, rs, ms)) << "round " << round;
    }
}

}  // namespace
}  // namespace pintle::test
