// The TDX terminal's entry: the registered table, TDX orders and commands,
// and quotes from both terminals, through the real DLL and the stand-in
// assistant.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "formats/command_record.h"
#include "formats/quote_entry.h"
#include "support/e2e_checks.h"

namespace pintle::test {
namespace {

TEST(TdxTable, RegistrationHandsOutFortySevenPackedEntriesOnce) {
    Terminal terminal;
    const RunResult run = terminal.Run({L"register"});
    ASSERT_EQ(run.exit_code, 0u) << run.out;
    EXPECT_NE(run.out.find("register -> 1 again -> 0"), std::string::npos);
    const auto pos = run.out.find("bytes ");
    ASSERT_NE(pos, std::string::npos);
    std::string hex = run.out.substr(pos + 6, 940);
    ASSERT_EQ(hex.size(), 940u);
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    std::map<uint64_t, int> pointers;
    for (int e = 0; e < 47; ++e) {
        uint16_t number;
        uint64_t fn;
        std::memcpy(&number, &bytes[e * 10], 2);
        std::memcpy(&fn, &bytes[e * 10 + 2], 8);
        EXPECT_EQ(number, e < 46 ? e + 1 : 0) << "entry " << e;
        EXPECT_EQ(fn != 0, e < 46) << "entry " << e;
        if (fn != 0) ++pointers[fn];
    }
    EXPECT_EQ(pointers.size(), 46u);  // every number has a function of its own
}

TEST(TdxOrders, RecordsCarryTheTdxSelectorAndQuantityRules) {
    Rig rig({.number = 2});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript(
        "tdx 7 --a 2 --b 3\n"                       // assistant 2, TDX selector 3
        "tdx 1 --a 1,600000 --b 0,3 --c 0,1\n"      // quantity 1 goes out as 0
        "tdx 2 --a 600000 --b 3 --c 0\n"            // quantity 0: dropped
        "tdx 1 --a 600000 --b 3 --c -5\n"           // negative: dropped
        "tdx 20 --a 600000 --b 3 --c -5\n"          // ...unless sub-kind 3
        "tdx 28 --a 110030 --b 150 --c 300\n"       // convertible bond, basket
        "tdx 1 --count 0 --a 600000 --b 3 --c 100\n");
    EXPECT_EQ(ValuesOf(run), (std::vector<Values>{{1}, {1, 1}, {0}, {0}, {1}, {1}, {}})) << run.out;
    const CommandRecord want{.id = 1001, .code = "600000", .formula = 3, .assistant = 2, .selector_index = 2};
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(1),
                          {"bytes=" + Hex(want), "sub=3 qty=-5", "code=110030 qty=300 unit=1000"}));
    EXPECT_TRUE(LogHas(rig.terminal.LogMessages(),
                       {"接收到 公式3 买入 600000 0.0000元 量*条件=0 ", "接收到 公式3 卖出 600000 0.0000元 量*条件=-5 ",
                        "接收到 篮子150 买入 110030 0.0000元 量*条件=300股 "}));
}

TEST(TdxOrders, ASelectorNumberOutOfRangeGoesOutAsTheLowestIndexWithoutWrapping) {
    TempDir work(L"tdx-selector");
    ASSERT_TRUE(WriteFileBytes(work.File(L"state.txt"), "order 600000 kind=0 qty=300 filled=100\n"));
    KovaltProcess kovalt({.number = 0, .state_path = work.File(L"state.txt")}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    // 3e9 and NaN truncate to -2147483648; minus 1 must not wrap to the top.
    const RunResult run = terminal.RunScript(
        "tdx 7 --a 0 --b 3e9\n"
        "tdx 1 --a 600000 --b 3 --c 100\n"  // an order
        "tdx 6 --a 600000 --b 1 --c 0\n"    // cancel: 200 outstanding
        "tdx 9 --a 600000 --b 5 --c 0\n"    // a command
        "tdx 7 --a 0 --b nan\n"
        "tdx 23 --a 1 --b 42 --c 7.75\n");  // data
    ASSERT_EQ(run.calls.size(), 6u) << run.out;
    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(1), {"code=600000 sel=-2147483648"}));
    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(3), {"code=600000 qty=0 sel=-2147483648"}));
    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(6), {"sub=0 sel=-2147483648"}));
    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(99), {"code=000001 sel=-2147483648"}));
}

TEST(TdxOrders, ControlCommandsLogAndRefreshWithoutQuantityIsDropped) {
    Rig rig({.number = 0});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript(
        "tdx 9 --a 600000 --b 5 --c 0\n"
        "tdx 12 --a 600000 --b 6 --c 0\n"
        "tdx 13 --a 600000 --b 0 --c 0\n"   // formula 0: dropped
        "tdx 14 --a 600000 --b 8 --c 0\n"   // quantity 0 with kind 8: dropped
        "tdx 14 --a 600000 --b 8 --c 2\n"
        "tdx 10 --a 600000 --b 4 --c 0\n"
        "tdx 11 --a 600000 --b 4 --c -1\n"  // negative quantity: dropped
        "tdx 18 --a 600000 --b 0 --c 7\n");
    EXPECT_EQ(ValuesOf(run), std::vector<Values>(8, Values{1})) << run.out;
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(6), {"sub=0 qty=0", "sub=1"}));
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(8), {"qty=2"}));
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(3), {"sub=1"}));
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(11), {"sub=1 qty=7"}));
    EXPECT_TRUE(LogHas(rig.terminal.LogMessages(), {"接收到 清仓命令 5 ", "接收到 启动自动交易 命令 6 ", "接收到 刷新 命令 8 "}));
}

TEST(TdxOrders, HongKongModeAndDataAndSingleQuotes) {
    Rig rig({.number = 0});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript(
        "tdx 42 --a -1\ntdx 8 --a 700 --b 9.5 --c 2\ntdx 42 --a 0\ntdx 23 --a 1 --b 42 --c 7.75\n");
    ASSERT_EQ(run.calls.size(), 4u) << run.out;
    EXPECT_EQ(run.calls[0].values, Values{-1});  // no output
    EXPECT_EQ(run.calls[1].values, Values{9.5});
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(5), {"code=00700 sub=2 price=9.5 sel=0"}));
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(99), {"code=000001 qty=42 price=7.75 data=7 sel=-1"}));
}

TEST(Quotes, SendQuoteBatchesUntilAPushAndSendsItWholeAndRefusesLongLabels) {
    Rig rig({.number = 0});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript(
        "call SendQuote --label SH600000 --arg 10.5 --arg 0 --arg 0\n"
        "call SendQuote --label SZ000001 --arg 3 --arg 1 --arg 0\n"
        "call SendQuote --label SH6000001234 --arg 1 --arg 4 --arg 0\n"
        "call _SendQuote --label SH600000 --period 6 --times 1700000000,1767225600 --closes 9,11.25 --arg 0 --arg 4 "
        "--arg 0\n");
    ASSERT_EQ(run.calls.size(), 4u) << run.out;
    EXPECT_EQ(run.calls[0].values, (Values{0, 0, 1}));
    EXPECT_EQ(run.calls[2].values, (Values{-1, -1, -1}));
    const auto lists = rig.kovalt.MessagesOfKind(12);
    EXPECT_TRUE(FieldsAre(lists, {"len=196 entries=2 e0.key=SH600000 e0.f0=11.25 e0.f2=999999 e0.f3=1767225600 "
                                  "e0.period=6 e1.key=SZ000001 e1.f1=3 e1.f2=0"}));
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].Get("bytes").substr(2 * 58, 8), "3f420f00");  // 999999 at offset 58
    EXPECT_TRUE(LogHas(rig.terminal.LogMessages(),
                       {"SH600000 0 10.50", "SZ000001 1 3.00",
                        "SendQuote: SH6000001234 超过9个字符, 不能放进行情记录, 已忽略"}));
}

TEST(Quotes, SingleQuoteCarriesTheWholeLabel) {
    Rig rig({.number = 3});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript(
        "call SENDQUOTE --label SZ000001 --arg 12.5 --arg 7 --arg 23\n"
        "call _SENDQUOTE --label SZ000001 --arg 12.5 --arg null --arg 3\n");
    EXPECT_EQ(ValuesOf(run), (std::vector<Values>{{0, 0, 12.5}, {0, 0, 0}})) << run.out;
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(5),
                          {"code=SZ000001 sub=7 price=12.5 assistant=3 sel=1", "sub=0 price=0"}));
}

TEST(Quotes, MarkersCarryMarketAndLocalMidnightAndTheLastSkipsAfterAnOrder) {
    Rig rig({.number = 0});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript(
        "tdx 39 --a 1600000 --b 1260305 --c 7.5\n"
        "tdx 40 --a 1 --b 1260306 --c 2\n"
        "tdx 1 --a 600000 --b 3 --c 100\n"
        "tdx 41 --a 600000 --b 1260305 --c 1\n"  // an order ran: skipped, flag cleared
        "tdx 41 --a 12000001 --b 1260305 --c 1\n");
    ASSERT_EQ(run.calls.size(), 5u) << run.out;
    EXPECT_EQ(run.calls[0].values, Values{1});
    EXPECT_EQ(run.calls[3].values, Values{-1});
    EXPECT_EQ(run.calls[4].values, Values{1});
    // 2026-03-05 00:00 in UTC+8; period 3 + the market digit, taken modulo 10.
    const QuoteEntry first{.key = "600000", .field0 = 7.5f, .field2 = 999999, .field3 = 1772640000, .period = 4};
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(12),
                          {"bytes=" + Hex(first), "e0.key=000001 e0.f2=999998 e0.f3=1772726400 e0.period=3",
                           "e0.key=000001 e0.f2=999997 e0.period=5"}));
}

}  // namespace
}  // namespace pintle::test
