// The TDX price override and the SendQuote batch rules, in this process
// with the clock moved by hand, against a real stand-in assistant.
#include <gtest/gtest.h>

#include "assistant/assistant_state.h"
#include "assistant/quotes.h"
#include "common/clock.h"
#include "common/paths.h"
#include "formula/boundary_state.h"
#include "formula/tdx_arrays.h"
#include "plugin/exports.h"
#include "plugin/tdx_table.h"
#include "support/formula_builder.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"
#include "support/formula_calls.h"

namespace pintle::test {
namespace {

class QuoteTiming : public SandboxTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(kovalt_.Started());
        SwitchAssistant(0);
    }
    static void Call(int number, float a, float b, float c) { RunTdx(kTdxTable[number - 1].function, a, b, {c}); }
    std::vector<float> OrderPrices() const {
        std::vector<float> prices;
        for (const auto& r : kovalt_.CommandsOfKind(1)) prices.push_back(r.price);
        return prices;
    }
    std::vector<std::size_t> BatchSizes() const {
        std::vector<std::size_t> sizes;
        for (const auto& m : kovalt_.MessagesOfKind(12)) sizes.push_back(m.Quotes().size());
        return sizes;
    }
    static void Quote(const char* label, double value, int field) {
        FormulaBuilder f(2, label);
        f.Arg(value).Arg(field).Arg(0);
        EXPECT_EQ(pintle_SendQuote(f.get()), 0);
    }

    KovaltProcess kovalt_{{.number = 0}, dir_.path()};
};

TEST_F(QuoteTiming, PriceOverrideLastsUnder200MsForItsSideAndCodeOnce) {
    Call(15, 600000, 0, 12.3f);
    clock_.AdvanceMs(199);
    Call(1, 600000, 3, 100);  // within 200 ms: carries the price, then clears it
    Call(1, 600000, 3, 100);
    Call(15, 600000, 0, 12.3f);
    clock_.AdvanceMs(200);
    Call(1, 600000, 3, 100);  // 200 ms later: too old
    Call(15, 600000, 1, 8.8f);
    Call(1, 600000, 3, 100);  // a sell price does not serve a buy
    Call(2, 600001, 3, 100);  // nor an order of another code (which clears it)
    Call(15, 600000, 1, 8.8f);
    Call(23, 600001, 1, 2);   // a data command of another code leaves the sell price
    Call(2, 600000, 3, 100);
    EXPECT_EQ(OrderPrices(), (std::vector<float>{12.3f, 0.0f, 0.0f, 0.0f, 0.0f, 8.8f}));
}

TEST_F(QuoteTiming, Field3SendsAfter1000MsOrAt100Entries) {
    Quote("SH600000", 1700000000, 3);  // first call: no previous call to measure from
    clock_.AdvanceMs(999);
    Quote("SH600001", 1700000000, 3);
    EXPECT_TRUE(BatchSizes().empty());
    clock_.AdvanceMs(1000);
    Quote("SH600002", 1700000000, 3);
    EXPECT_EQ(BatchSizes(), std::vector<std::size_t>{3});
    for (int i = 0; i < 100; ++i) {
        Quote(("SZ" + std::to_string(300000 + i)).c_str(), i, i < 99 ? 0 : 5);
    }
    EXPECT_EQ(BatchSizes(), (std::vector<std::size_t>{3, 100}));
}

// A label finds its entry through an index that a send empties with the
// batch: quoted again after a send, it starts a new entry at the front.
TEST_F(QuoteTiming, ALabelQuotedAgainAfterASendStartsAFreshEntry) {
    Quote("SH600000", 1.0, 0);
    Quote("SZ000001", 2.0, 0);
    Quote("SZ000001", 3.0, 4);  // sends both
    Quote("SZ000001", 4.0, 0);
    Quote("SH600000", 5.0, 0);
    Quote("SZ000001", 6.0, 1);
    Quote("SH600000", 7.0, 4);
    const auto batches = kovalt_.MessagesOfKind(12);
    ASSERT_EQ(batches.size(), 2u);
    const auto second = batches[1].Quotes();
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(std::string(second[0].key), "SZ000001");
    EXPECT_EQ(second[0].field0, 4.0f);
    EXPECT_EQ(second[0].field1, 6.0f);
    EXPECT_EQ(std::string(second[1].key), "SH600000");
    EXPECT_EQ(second[1].field2, 999999);
}

TEST_F(QuoteTiming, TheBatchIsSentWhenItReachesItsCap) {
    for (std::size_t i = 0; i < kQuoteBatchCap + 5; ++i) {
        Quote(("SZ" + std::to_string(100000 + i)).c_str(), 1.0, 0);
    }
    EXPECT_EQ(BatchSizes(), std::vector<std::size_t>{kQuoteBatchCap});
}

TEST(TdxBoundary, CodeTextAndCountRules) {
    EXPECT_EQ(TdxCodeText(600000.0f), "600000");
    EXPECT_EQ(TdxCodeText(1.0f), "000001");
    EXPECT_EQ(TdxCodeText(1600000.0f), "1600000");
    Boundary().hong_kong_mode = 1;
    EXPECT_EQ(TdxCodeText(700.0f), "00700");
    Boundary().hong_kong_mode = 0;
    float out[3] = {-1, -1, -1}, a[3] = {1, 2, -1};
    kTdxTable[41].function(3, out, a, a, a);  // 42 reads the last entry
    EXPECT_NE(Boundary().hong_kong_mode.load(), 0);
    Boundary().hong_kong_mode = 0;
    kTdxTable[6].function(0, out, a, a, a);  // count 0: nothing at all
    EXPECT_EQ(out[0], -1.0f);
    void* table = nullptr;
    EXPECT_EQ(pintle_RegisterTdxFunc(&table), 1);
    EXPECT_EQ(table, static_cast<const void*>(kTdxTable));
    EXPECT_EQ(pintle_RegisterTdxFunc(&table), 0);
    EXPECT_EQ(pintle_RegisterTdxFunc(nullptr), 0);
}

}  // namespace
}  // namespace pintle::test
