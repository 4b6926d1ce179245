// The rules every DZH-style export shares: reading arguments, the last-bar
// gate, the selector split, the label and the result writer.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "formula/boundary_state.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "support/formula_builder.h"

namespace pintle {
namespace {

using test::FormulaBuilder;

class ResultWriter : public ::testing::Test {
protected:
    void SetUp() override { Boundary().brisko_host = false; }
    void TearDown() override { Boundary().brisko_host = false; }
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

TEST_F(ResultWriter, PutsTheValueOnTheLastBarOnly) {
    FormulaBuilder f(3);
    WriteResult(*f.get(), 1.0f, false);
    EXPECT_EQ(f.result(), (std::vector<double>{0.0, 0.0, 1.0}));
    WriteResult(*f.get(), 2.5f, true);
    EXPECT_EQ(f.result(), (std::vector<double>{2.5, 2.5, 2.5}));
}

TEST_F(ResultWriter, WritesNothingWithoutBarsOrBuffer) {
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

}  // namespace
}  // namespace pintle
