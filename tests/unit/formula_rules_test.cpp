// The rules every DZH-style export shares: reading arguments, the last-bar
// gate, the selector split, the label and the result writer.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <tuple>

#include "formula/boundary_state.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "support/formula_builder.h"

namespace pintle {
namespace {

using test::FormulaBuilder;

TEST(ReadArg, SeriesAtTheCurrentIndexElseTheConstantElseZero) {
    FormulaBuilder f(4);
    f.ArgSeries(99.0, {1.0, 2.0, 3.0, 4.0}).NullArg().Arg(3.0);
    EXPECT_EQ(ReadArg(*f.SetBarByBar(0, 1).get(), 1), 2.0f);  // the current index, not the last bar
    EXPECT_EQ(ReadArg(*f.SetBarByBar(0, 3).get(), 1), 4.0f);
    EXPECT_FALSE(ArgPresent(f.raw(), 2));
    EXPECT_EQ(ReadArg(f.raw(), 2), 0.0f);
    EXPECT_EQ(ReadArg(f.raw(), 3), 3.0f);
    for (int n : {4, 0, 5}) EXPECT_EQ(ReadArg(f.raw(), n), 0.0f) << n;  // beyond the argument count
    for (int index : {-1, 4, 1000000, INT32_MIN}) EXPECT_EQ(ReadArg(*f.SetBarByBar(0, index).get(), 1), 99.0f) << index;
    f.SetBarByBar(0, 0);
    f.raw().bar_count = -5;  // a negative count has no bars at all
    EXPECT_EQ(ReadArg(f.raw(), 1), 99.0f);
    f.raw().arg_count = 1;
    EXPECT_EQ(ReadArg(f.raw(), 3), 0.0f);
}

TEST(FormulaRules, TruncationLastBarGateSelectorAndLabel) {
    const std::pair<float, int32_t> truncated[] = {{2.9f, 2},           {-2.9f, -2},           {3e9f, kIntOverflow},
                                                   {-3e9f, kIntOverflow}, {std::nanf(""), kIntOverflow},
                                                   {2147483520.0f, 2147483520}};
    for (const auto& [in, out] : truncated) EXPECT_EQ(TruncateToInt(in), out) << in;

    FormulaBuilder f(3);
    EXPECT_TRUE(LastBarGate(*f.SetBarByBar(0, 0).get()));  // only the last bar passes when bar-by-bar
    EXPECT_FALSE(LastBarGate(*f.SetBarByBar(1, 1).get()));
    EXPECT_TRUE(LastBarGate(*f.SetBarByBar(1, 2).get()));
    f.raw().bar_count = INT32_MIN;
    f.raw().current_index = INT32_MAX;
    EXPECT_FALSE(LastBarGate(f.raw()));

    // The last digit is the assistant and the rest the index.
    for (const auto& [selector, assistant, index] : {std::tuple{23, 3, 1}, std::tuple{7, 7, -1}, std::tuple{10, 0, 0},
                                                     std::tuple{-4, -4, -1}}) {
        EXPECT_EQ(SplitSelector(selector).assistant, assistant) << selector;
        EXPECT_EQ(SplitSelector(selector).index, index) << selector;
    }

    // The label is read at most twenty bytes, even without a terminator.
    std::memset(f.raw().label, 'A', sizeof f.raw().label);
    f.raw().bar_by_bar = 0x7a7a7a7a;  // the bytes right after the label
    EXPECT_EQ(LabelText(f.raw()), std::string(20, 'A'));
    EXPECT_EQ(LabelCodeText(f.raw()), std::string(18, 'A'));
    f.SetLabel("SH");
    EXPECT_EQ(LabelCodeText(*f.get()), "");
}

TEST(ResultWriter, PutsTheValueOnTheLastBarOnlyAndNothingWithoutBarsOrBuffer) {
    Boundary().brisko_host = false;
    FormulaBuilder f(3);
    WriteResult(*f.get(), 1.0f, false);
    EXPECT_EQ(f.result(), (std::vector<double>{0.0, 0.0, 1.0}));
    WriteResult(*f.get(), 2.5f, true);
    EXPECT_EQ(f.result(), (std::vector<double>{2.5, 2.5, 2.5}));
    FormulaBuilder none(3);
    none.raw().bar_count = 0;
    WriteResult(none.raw(), 1.0f, true);
    none.raw().bar_count = -3;
    WriteResult(none.raw(), 1.0f, true);
    EXPECT_EQ(none.result(), (std::vector<double>{-1.0, -1.0, -1.0}));
    none.get()->result = nullptr;
    none.raw().bar_count = 3;
    WriteResult(none.raw(), 1.0f, true);  // must not crash
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
