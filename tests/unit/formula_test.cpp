#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <thread>

#include "formula/boundary_state.h"
#include "formula/call_lock.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "plugin/exports.h"
#include "startup/lifecycle.h"
#include "support/formula_builder.h"

namespace pintle {
namespace {

using test::FormulaBuilder;

class HostFlagsReset : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        Boundary().brisko_host = false;
        Boundary().halvane_host = false;
    }
};

TEST(ReadArg, SeriesIsReadAtTheCurrentIndexNotTheLastBar) {
    FormulaBuilder f(4);
    f.ArgSeries(99.0, {1.0, 2.0, 3.0, 4.0}).SetBarByBar(0, 1);
    EXPECT_EQ(ReadArg(*f.get(), 1), 2.0f);
    f.SetBarByBar(0, 3);
    EXPECT_EQ(ReadArg(*f.get(), 1), 4.0f);
}

TEST(ReadArg, FallsBackToTheConstantOrZero) {
    FormulaBuilder f(3);
    f.Arg(7.5).NullArg().Arg(3.0);
    EXPECT_EQ(ReadArg(*f.get(), 1), 7.5f);
    EXPECT_FALSE(ArgPresent(*f.get(), 2));
    EXPECT_EQ(ReadArg(*f.get(), 2), 0.0f);
    EXPECT_EQ(ReadArg(*f.get(), 3), 3.0f);
    EXPECT_EQ(ReadArg(*f.get(), 4), 0.0f);  // beyond the argument count
    f.raw().arg_count = 1;
    EXPECT_EQ(ReadArg(*f.get(), 3), 0.0f);
    EXPECT_EQ(ReadArg(*f.get(), 0), 0.0f);
    EXPECT_EQ(ReadArg(*f.get(), 5), 0.0f);
}

TEST(ReadArg, IndexOutsideTheBarsUsesTheConstantInsteadOfTheSeries) {
    FormulaBuilder f(3);
    f.ArgSeries(42.0, {1.0, 2.0, 3.0});
    for (int index : {-1, 3, 1000000, INT32_MIN}) {
        f.SetBarByBar(0, index);
        EXPECT_EQ(ReadArg(*f.get(), 1), 42.0f) << index;
    }
    f.SetBarByBar(0, 0);
    f.raw().bar_count = -5;  // a negative count has no bars at all
    EXPECT_EQ(ReadArg(f.raw(), 1), 42.0f);
}

TEST(TruncateToInt, TruncatesTowardZeroAndFlagsOverflow) {
    EXPECT_EQ(TruncateToInt(2.9f), 2);
    EXPECT_EQ(TruncateToInt(-2.9f), -2);
    EXPECT_EQ(TruncateToInt(3e9f), kIntOverflow);
    EXPECT_EQ(TruncateToInt(-3e9f), kIntOverflow);
    EXPECT_EQ(TruncateToInt(std::nanf("")), kIntOverflow);
    EXPECT_EQ(TruncateToInt(2147483520.0f), 2147483520);
}

TEST(LastBarGate, OnlyTheLastBarPassesWhenBarByBar) {
    FormulaBuilder f(3);
    EXPECT_TRUE(LastBarGate(*f.SetBarByBar(0, 0).get()));
    EXPECT_FALSE(LastBarGate(*f.SetBarByBar(1, 1).get()));
    EXPECT_TRUE(LastBarGate(*f.SetBarByBar(1, 2).get()));
    f.raw().bar_count = INT32_MIN;
    f.raw().current_index = INT32_MAX;
    EXPECT_FALSE(LastBarGate(f.raw()));
}

TEST(SplitSelector, LastDigitIsTheAssistantAndTheRestTheIndex) {
    EXPECT_EQ(SplitSelector(23).assistant, 3);
    EXPECT_EQ(SplitSelector(23).index, 1);
    EXPECT_EQ(SplitSelector(7).assistant, 7);
    EXPECT_EQ(SplitSelector(7).index, -1);
    EXPECT_EQ(SplitSelector(10).assistant, 0);
    EXPECT_EQ(SplitSelector(10).index, 0);
    EXPECT_EQ(SplitSelector(-4).assistant, -4);
    EXPECT_EQ(SplitSelector(-4).index, -1);
}

TEST(Label, IsReadAtMostTwentyBytesEvenWithoutATerminator) {
    FormulaBuilder f(1);
    std::memset(f.raw().label, 'A', sizeof f.raw().label);
    f.raw().bar_by_bar = 0x7a7a7a7a;  // the bytes right after the label
    EXPECT_EQ(LabelText(f.raw()), std::string(20, 'A'));
    EXPECT_EQ(LabelCodeText(f.raw()), std::string(18, 'A'));
    f.SetLabel("SH");
    EXPECT_EQ(LabelCodeText(*f.get()), "");
}

TEST_F(HostFlagsReset, ResultWriterPutsTheValueOnTheLastBarOnly) {
    FormulaBuilder f(3);
    WriteResult(*f.get(), 1.0f, false);
    EXPECT_EQ(f.result(), (std::vector<double>{0.0, 0.0, 1.0}));
    WriteResult(*f.get(), 2.5f, true);
    EXPECT_EQ(f.result(), (std::vector<double>{2.5, 2.5, 2.5}));
}

TEST_F(HostFlagsReset, AllBarsRuleHoldsForDottedLabelsAndTheBriskoHost) {
    FormulaBuilder dotted(3, "600000.SH");
    WriteResult(*dotted.get(), 1.0f, false);
    EXPECT_EQ(dotted.result(), (std::vector<double>{1.0, 1.0, 1.0}));

    NoteHost(L"BRISKO.EXE");
    EXPECT_TRUE(Boundary().brisko_host);
    EXPECT_FALSE(Boundary().halvane_host);
    FormulaBuilder plain(3);
    WriteResult(*plain.get(), 1.0f, false);
    EXPECT_EQ(plain.result(), (std::vector<double>{1.0, 1.0, 1.0}));
}

TEST_F(HostFlagsReset, HostFlagsComeFromTheExecutableNameIgnoringCase) {
    NoteHost(L"halvane.EXE");
    EXPECT_TRUE(Boundary().halvane_host);
    EXPECT_FALSE(Boundary().brisko_host);
    Reset();
    NoteHost(L"Brisko.exe.bak");
    NoteHost(L"TdxW.exe");
    EXPECT_FALSE(Boundary().brisko_host);
    EXPECT_FALSE(Boundary().halvane_host);
}

TEST_F(HostFlagsReset, ResultWriterWritesNothingWithoutBarsOrBuffer) {
    FormulaBuilder f(3);
    f.raw().bar_count = 0;
    WriteResult(f.raw(), 1.0f, true);
    f.raw().bar_count = -3;
    WriteResult(f.raw(), 1.0f, true);
    EXPECT_EQ(f.result(), (std::vector<double>{-1.0, -1.0, -1.0}));
    FormulaBuilder no_buffer(3);
    no_buffer.get()->result = nullptr;
    WriteResult(no_buffer.raw(), 1.0f, true);  // must not crash
}

// The fill goes sixteen floats at a time: every count, whole blocks or not,
// gets exactly its entries, bit for bit, and nothing after them.
TEST(FillOutput, WritesExactlyCountEntriesBitForBit) {
    const uint32_t payload = 0x7FC01234u;  // a NaN with a payload
    float value;
    std::memcpy(&value, &payload, sizeof value);
    for (const int32_t count : {0, 1, 15, 16, 17, 35, -4}) {
        std::vector<float> out(40, 7.0f);
        FillOutput(count, out.data(), value);
        for (int32_t i = 0; i < 40; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &out[i], sizeof bits);
            EXPECT_EQ(bits, i < count ? payload : 0x40E00000u) << "count " << count << " entry " << i;
        }
    }
    FillOutput(5, nullptr, 1.0f);  // must not crash
}

TEST(Exports, RunModeIsZeroAndSetRunModeHonoursTheGate) {
    FormulaBuilder f(3);
    EXPECT_EQ(pintle_RUNMODE(nullptr), 0);
    EXPECT_EQ(pintle_SETRUNMODE(f.SetBarByBar(1, 0).get()), 0);
    EXPECT_EQ(pintle_SETRUNMODE(f.SetBarByBar(1, 2).get()), 0);
    EXPECT_EQ(pintle_SETRUNMODE(nullptr), 0);
    EXPECT_EQ(pintle_RUNMODE(f.get()), 0);
    EXPECT_EQ(f.result(), (std::vector<double>{-1.0, -1.0, -1.0}));
}

// Holds the call lock on another thread until released.
class CallLockHolder {
public:
    CallLockHolder() {
        thread_ = std::thread([this] {
            CallLockHold hold;
            held_.set_value();
            release_.get_future().wait();
        });
        held_.get_future().wait();
    }
    void Release() {
        if (thread_.joinable()) {
            release_.set_value();
            thread_.join();
        }
    }
    ~CallLockHolder() { Release(); }

private:
    std::promise<void> held_, release_;
    std::thread thread_;
};

TEST(Exports, SetSellConditionWaitsForTheCallLockAndBuy1DoesNot) {
    FormulaBuilder f(1);
    CallLockHolder holder;

    auto buy1 = std::async(std::launch::async, [&] { return pintle_NoOperation(f.get()); });
    ASSERT_EQ(buy1.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "Buy1 waited for the call lock";
    EXPECT_EQ(buy1.get(), 0);

    auto sell = std::async(std::launch::async, [&] { return pintle_SetSellCondition(f.get()); });
    EXPECT_EQ(sell.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
        << "SetSellCondition ran while another thread held the call lock";
    holder.Release();
    EXPECT_EQ(sell.get(), 0);
}

// The commonest call, a bar-by-bar formula on a bar before the last, must not
// queue behind another thread's send: it is answered before the call lock.
TEST(Exports, AnEarlierBarIsAnsweredWithoutTheCallLock) {
    CallLockHolder holder;
    for (auto* fn : {pintle_BUY, pintle_SENDQUOTE, pintle_PosInfo, pintle_Get, pintle_Set, pintle_WenCai}) {
        FormulaBuilder f(3);
        f.Arg(1).Arg(100).Arg(3).Arg(0).SetBarByBar(1, 1);
        auto call = std::async(std::launch::async, [&] { return fn(f.get()); });
        if (call.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            holder.Release();
            FAIL() << "an earlier-bar call waited for the call lock";
        }
        EXPECT_EQ(call.get(), 0);
        EXPECT_EQ(f.result(), (std::vector<double>{-1.0, -1.0, -1.0}));
    }
}

}  // namespace
}  // namespace pintle
