// Set, Get and the ratings against the stand-in assistant: its store (written
// by the second process) for the time slots, the history series and the
// ratings, and its journal for the forwarded values and rating requests.
// The plug-in runs in this process, so the clock seam moves "now".
#include <gtest/gtest.h>

#include <cstring>

#include "assistant/assistant.h"
#include "common/clock.h"
#include "support/e2e_checks.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"
#include "support/store_bytes.h"
#include "support/formula_calls.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

// The assistant stores times as seconds since 1970 UTC; here, in local time (UTC+8):
constexpr uint32_t kNow = 1772674205;           // 2026-03-05 09:30:05, the clock
constexpr uint32_t kMarch1 = 1772330400;        // 2026-03-01 10:00, the clock across a month end
constexpr uint32_t kYesterday = 1772607600;     // 2026-03-04 15:00, slot 0
constexpr uint32_t kEarlyMorning = 1710433800;  // 2024-03-15 00:30 (the 14th in UTC), slot 23
const std::vector<uint32_t> kToday = {kNow - 120, kNow - 60, kNow};
using Results = std::vector<double>;

class AssistantSide : public SandboxTest {
protected:
    void Start(std::vector<std::wstring> writes) {
        OpenOwnStore(dir_.File(L"data.db"), true);
        kovalt_ = std::make_unique<KovaltProcess>(KovaltOptions{.exe_dir = home_.path(), .store = std::move(writes)},
                                                  dir_.path());
        ASSERT_TRUE(kovalt_->Started());
        SwitchAssistant(0);
    }
    // The payloads of the kind-3 messages at the main window, in hex.
    std::vector<std::string> Kind3() const {
        std::vector<std::string> out;
        for (const JournalEntry& e : kovalt_->MessagesOfKind(3)) out.push_back(e.Get("bytes"));
        return out;
    }

    TempDir home_{L"set-get-kovalt"};
    std::unique_ptr<KovaltProcess> kovalt_;
};

// A kind-3 record in hex, as the journal prints its bytes.
std::string Record(int32_t sub, const std::string& code, float price, int32_t formula, int32_t quantity = 0,
                   int32_t selector = 0, int32_t period = 0, uint32_t bar = 0) {
    CommandRecord r{.id = kCommandRecordId, .sub_kind = sub, .quantity = quantity, .price = price, .formula = formula,
                    .selector_index = selector, .period = period, .last_bar_time = bar};
    std::memcpy(r.code, code.data(), code.size());
    return Hex(r);
}

TEST_F(AssistantSide, TimeSlotsReadAsLocalDatesDayCountsAndSeconds) {
    // Slot 10: 2026-02-28 15:00 local.
    Start({L"600000 0 0 0 0 1772607600", L"600000 0 0 5 0 0", L"600000 0 0 10 0 1772262000",
           L"600000 0 0 23 0 1710433800", L"600000 0 0 24 0 5"});
    struct Case { uint32_t now; int32_t slot; double dzh, tdx; };
    const float since_2024 = static_cast<float>(kNow - kEarlyMorning);
    for (const Case& c : std::vector<Case>{
             {kNow, 0, 1260304, 1260304}, {kNow, 1, 1, 1}, {kNow, 2, 66605, 66605}, {kNow, 6, 0, 0}, {kNow, 7, 0, 0},
             {kMarch1, 11, 1, 73}, {kMarch1, 10, 1260228, 1260228}, {kNow, 23, 1240315, 1240315},
             {kNow, 27, 720, 19990}, {kNow, 28, since_2024, since_2024}, {kNow, 24, 5, 5}, {kNow, 25, 0, 0}}) {
        clock_.SetNowSeconds(c.now);
        EXPECT_EQ(CallDzh(GetValue, false, {double(c.slot), 0, 0, 0}, kToday).back(), c.dzh) << c.slot;
        EXPECT_EQ(TdxGetValue({600000, float(c.slot), 0}, false), static_cast<float>(c.tdx)) << c.slot;
    }
}

TEST_F(AssistantSide, HistorySeriesLieOnTheBarsOfTheirBucket) {
    // 09:30 local, then a bar every 15 minutes.
    const std::vector<uint32_t> bars = {1772674200, 1772675100, 1772676000, 1772676900, 1772677800};
    Start({L"600000 0 0 90 4 1 1772674200", L"600000 0 0 90 4 3 1772676000", L"600000 0 0 98 4 2 1772674200",
           L"600000 0 0 98 4 4 1772675100", L"600000 0 0 98 4 1 1772676000", L"600000 0 0 99 4 0 1772674200",
           L"600000 0 0 99 4 5 1772675100", L"600000 0 0 91 3 8 1772677800", L"600000 0 0 20000 4 2 1772675100"});
    OwnStore().WriteValue("600000", 0, 0, 10001, 1, 4, bars[0]);
    OwnStore().WriteValue("600000", 0, 0, 10001, 3, 4, bars[2]);
    EXPECT_EQ(CallDzh(SetValue, false, {6, 20000, 0, 0}, bars), (Results{0, 0, 0, 0, 1}));

    struct Case { int32_t slot, arg4; int16_t period; Results bars; };
    for (const Case& c : std::vector<Case>{{90, 0, 5, {1, 0, 3, 3, 3}},       // carried from bar 2 on
                                           {90, 1, 5, {1, 0, 3, 0, 0}},       // not with argument 4
                                           {10001, 0, 5, {1, 0, 3, 0, 0}},    // nor for the own store
                                           {96, 0, 5, {1, 2, 0.5, 0.5, 0.5}},  // 98 as a ratio to its first value
                                           {97, 0, 5, {0, 0, 0, 0, 0}},       // 99 starts at 0
                                           {91, 0, 2, {8, 8, 8, 8, 8}},       // period 1 found under 3, by local date
                                           {20000, 0, 5, {0, 2, 2, 2, 2}}})   // the assistant's, not the own
        EXPECT_EQ(CallDzh(GetValue, false, {double(c.slot), 0, 0, double(c.arg4)}, bars, c.period), c.bars) << c.slot;
    EXPECT_EQ(ReadFileBytes(dir_.File(L"data\\0\\600000\\0\\4\\20000.dat")), Head(2, 1) + Entry(bars[4], 6));
}

TEST_F(AssistantSide, ForwardedValuesAndRatingRequests) {
    Start({L"600000 10 0 81 0 77 0 1772674105"});  // a rating written 100 s ago
    UseSettings("OnlyTradeTime=1\r\n");
    const std::vector<uint32_t> yesterday = {kYesterday - 60, kYesterday};
    // Forwarded before the trade-day check; nothing else below 100 is sent.
    EXPECT_EQ(CallDzh(SetValue, false, {1.25, 55, 3, 0}, yesterday), (Results{0, 0}));
    EXPECT_EQ(CallDzh(SetValue, true, {2, 56, 0, 0}, yesterday), (Results{0, 0}));
    EXPECT_EQ(CallDzh(SetValue, false, {1, 99, 0, 0}, yesterday), (Results{0, 0}));
    EXPECT_EQ(TdxSetValue({1600000, 58, 2.5}, false), 0.0f);

    // A fresh rating is shown and not asked for; an old or absent one is, when argument 1 allows.
    EXPECT_EQ(CallDzh(GetRating, false, {1, 10, 0, 1}, kToday), (Results{77, 77, 77}));
    EXPECT_EQ(TdxGetRating({600000, 1, 0}, false), 0.0f);  // the TDX lookup uses qualifier 0: absent
    clock_.AdvanceSeconds(301);
    EXPECT_EQ(CallDzh(GetRating, false, {0, 10, 0, 0}, kToday), (Results{0, 0, 77}));
    EXPECT_EQ(CallDzh(GetRating, false, {1, 10, 0, 0}, kToday), (Results{0, 0, 77}));
    EXPECT_EQ(CallDzh(GetRating, true, {2, 0, 0, 0}, kToday), (Results{0, 0, 0}));
    EXPECT_EQ(TdxGetRating({1, 0, 0}, true), 0.0f);
    EXPECT_EQ(TdxGetRating({0, 0, 0}, true), 0.0f);
    // A rating stamped after now (the clock was set back an hour) is asked for again.
    clock_.SetNowSeconds(kNow - 3600);
    EXPECT_EQ(CallDzh(GetRating, false, {1, 10, 0, 0}, kToday), (Results{0, 0, 77}));

    const std::string global = "\xC8\xAB\xBE\xD6", sentiment = kMarketSentimentGbk;
    EXPECT_EQ(Kind3(), (std::vector<std::string>{
                           Record(55, "600000", 1.25f, 3), Record(56, global, 2, 0), Record(58, "600000", 2.5f, 1),
                           Record(81, "600000", 0, 0, 0, -1), Record(81, "600000", 1, 1, 10, 0, 5, kNow),
                           Record(80, sentiment, 2, 2, 0, -1, 5, kNow), Record(80, sentiment, 0, 0, 0, -1),
                           Record(81, "600000", 1, 1, 10, 0, 5, kNow)}));
}

TEST(SetGetInTheTerminal, BothTerminalsStoreAndReadThroughTheDll) {
    const RunResult run = Terminal().RunScript(
        "call Set --arg 1.5 --arg 100 --arg 2 --arg 0\ncall Get --arg 100 --arg 2 --arg 0 --arg 0\n"
        "call SETGLOBAL --arg 3 --arg 10001 --arg 0 --arg 0\ncall _GetGlobal --arg 10001 --arg 0 --arg 0 --arg 0\n"
        "tdx 24 --a 1600000 --b 100 --c 4.5\ntdx 25 --a 600000 --b 100 --c 1\ntdx 27 --a 0 --b 10001\n");
    EXPECT_EQ(ValuesOf(run), (std::vector<Results>{{0, 0, 1}, {0, 0, 1.5}, {0, 0, 1}, {0, 0, 3}, {1}, {4.5}, {0}}));
}

}  // namespace
}  // namespace pintle::test
