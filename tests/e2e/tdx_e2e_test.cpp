// The TDX terminal's entry: the registered table, TDX orders and commands,
// and quotes from both terminals, through the real DLL and the stand-in
// assistant.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "formats/command_record.h"
#include "formats/quote_entry.h"
#include "support/kovalt_process.h"
#include "support/terminal.h"

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
        if (e == 46) {
            EXPECT_EQ(fn, 0u);
        } else {
            EXPECT_NE(fn, 0u) << "entry " << e;
            ++pointers[fn];
        }
    }
    EXPECT_EQ(pointers.size(), 46u);  // every number has a function of its own
}

TEST(TdxOrders, RecordsCarryTheTdxSelectorAndQuantityRules) {
    TempDir work(L"tdx-orders");
    KovaltProcess kovalt({.number = 2}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "tdx 7 --a 2 --b 3\n"                       // assistant 2, TDX selector 3
        "tdx 1 --a 1,600000 --b 0,3 --c 0,1\n"      // quantity 1 goes out as 0
        "tdx 2 --a 600000 --b 3 --c 0\n"            // quantity 0: dropped
        "tdx 1 --a 600000 --b 3 --c -5\n"           // negative: dropped
        "tdx 20 --a 600000 --b 3 --c -5\n"          // ...unless sub-kind 3
        "tdx 28 --a 110030 --b 150 --c 300\n"       // convertible bond, basket
        "tdx 1 --count 0 --a 600000 --b 3 --c 100\n");
    ASSERT_EQ(run.calls.size(), 7u) << run.out;
    EXPECT_EQ(run.calls[0].values, std::vector<double>{1});
    EXPECT_EQ(run.calls[1].values, (std::vector<double>{1, 1}));
    EXPECT_EQ(run.calls[2].values, std::vector<double>{0});
    EXPECT_EQ(run.calls[3].values, std::vector<double>{0});
    EXPECT_EQ(run.calls[4].values, std::vector<double>{1});
    EXPECT_EQ(run.calls[5].values, std::vector<double>{1});
    EXPECT_TRUE(run.calls[6].values.empty());

    const auto orders = kovalt.CommandsOfKind(1);
    ASSERT_EQ(orders.size(), 3u);
    CommandRecord want{};
    want.id = 1001;
    std::strcpy(want.code, "600000");
    want.formula = 3;
    want.assistant = 2;
    want.selector_index = 2;
    EXPECT_EQ(std::memcmp(&orders[0], &want, sizeof want), 0);
    EXPECT_EQ(orders[1].sub_kind, 3);
    EXPECT_EQ(orders[1].quantity, -5);
    EXPECT_STREQ(orders[2].code, "110030");
    EXPECT_EQ(orders[2].quantity, 300);
    EXPECT_EQ(orders[2].quantity_unit, 1000.0f);

    const auto log = terminal.LogMessages();
    EXPECT_TRUE(Contains(log, "接收到 公式3 买入 600000 0.0000元 量*条件=0 "));
    EXPECT_TRUE(Contains(log, "接收到 公式3 卖出 600000 0.0000元 量*条件=-5 "));
    EXPECT_TRUE(Contains(log, "接收到 篮子150 买入 110030 0.0000元 量*条件=300股 "));
}

TEST(TdxOrders, ControlCommandsLogAndRefreshWithoutQuantityIsDropped) {
    TempDir work(L"tdx-control");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "tdx 9 --a 600000 --b 5 --c 0\n"
        "tdx 12 --a 600000 --b 6 --c 0\n"
        "tdx 13 --a 600000 --b 0 --c 0\n"   // formula 0: dropped
        "tdx 14 --a 600000 --b 8 --c 0\n"   // quantity 0 with kind 8: dropped
        "tdx 14 --a 600000 --b 8 --c 2\n"
        "tdx 10 --a 600000 --b 4 --c 0\n"
        "tdx 11 --a 600000 --b 4 --c -1\n"  // negative quantity: dropped
        "tdx 18 --a 600000 --b 0 --c 7\n");
    ASSERT_EQ(run.calls.size(), 8u) << run.out;
    for (const auto& c : run.calls) EXPECT_EQ(c.values, std::vector<double>{1}) << c.name;
    const auto control = kovalt.CommandsOfKind(6);
    ASSERT_EQ(control.size(), 2u);
    EXPECT_EQ(control[0].sub_kind, 0);
    EXPECT_EQ(control[0].quantity, 0);
    EXPECT_EQ(control[1].sub_kind, 1);
    const auto refresh = kovalt.CommandsOfKind(8);
    ASSERT_EQ(refresh.size(), 1u);
    EXPECT_EQ(refresh[0].quantity, 2);
    const auto manage = kovalt.CommandsOfKind(3);
    ASSERT_EQ(manage.size(), 1u);
    EXPECT_EQ(manage[0].sub_kind, 1);
    const auto messages = kovalt.CommandsOfKind(11);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].sub_kind, 1);
    EXPECT_EQ(messages[0].quantity, 7);
    const auto log = terminal.LogMessages();
    EXPECT_TRUE(Contains(log, "接收到 清仓命令 5 "));
    EXPECT_TRUE(Contains(log, "接收到 启动自动交易 命令 6 "));
    EXPECT_TRUE(Contains(log, "接收到 刷新 命令 8 "));
}

TEST(TdxOrders, HongKongModeAndDataAndSingleQuotes) {
    TempDir work(L"tdx-misc");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "tdx 42 --a -1\n"
        "tdx 8 --a 700 --b 9.5 --c 2\n"
        "tdx 42 --a 0\n"
        "tdx 23 --a 1 --b 42 --c 7.75\n");
    ASSERT_EQ(run.calls.size(), 4u) << run.out;
    EXPECT_EQ(run.calls[0].values, std::vector<double>{-1});  // no output
    EXPECT_EQ(run.calls[1].values, std::vector<double>{9.5});
    const auto quote = kovalt.CommandsOfKind(5);
    ASSERT_EQ(quote.size(), 1u);
    EXPECT_STREQ(quote[0].code, "00700");
    EXPECT_EQ(quote[0].sub_kind, 2);
    EXPECT_EQ(quote[0].price, 9.5f);
    EXPECT_EQ(quote[0].selector_index, 0);
    const auto data = kovalt.CommandsOfKind(99);
    ASSERT_EQ(data.size(), 1u);
    EXPECT_STREQ(data[0].code, "000001");
    EXPECT_EQ(data[0].quantity, 42);
    EXPECT_EQ(data[0].price, 7.75f);
    EXPECT_EQ(data[0].data_value, 7);
    EXPECT_EQ(data[0].selector_index, -1);
}

TEST(Quotes, SendQuoteBatchesUntilAPushAndSendsItWhole) {
    TempDir work(L"sendquote");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call SendQuote --label SH600000 --arg 10.5 --arg 0 --arg 0\n"
        "call SendQuote --label SZ000001 --arg 3 --arg 1 --arg 0\n"
        "call _SendQuote --label SH600000 --period 6 --times 1700000000,1767225600 --closes 9,11.25 --arg 0 --arg 4 --arg 0\n");
    ASSERT_EQ(run.calls.size(), 3u) << run.out;
    EXPECT_EQ(run.calls[0].values, (std::vector<double>{0, 0, 1}));
    const auto lists = kovalt.MessagesOfKind(12);
    ASSERT_EQ(lists.size(), 1u);
    const auto entries = lists[0].Quotes();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(lists[0].bytes->size(), 196u);
    EXPECT_STREQ(entries[0].key, "SH600000");
    EXPECT_EQ(entries[0].field0, 11.25f);
    EXPECT_EQ(entries[0].field2, 999999);
    EXPECT_EQ(entries[0].field3, 1767225600);
    EXPECT_EQ(entries[0].period, 6);
    int32_t at58;
    std::memcpy(&at58, lists[0].bytes->data() + 58, 4);
    EXPECT_EQ(at58, 999999);
    EXPECT_STREQ(entries[1].key, "SZ000001");
    EXPECT_EQ(entries[1].field1, 3.0f);
    EXPECT_EQ(entries[1].field2, 0);
    const auto log = terminal.LogMessages();
    EXPECT_TRUE(Contains(log, "SH600000 0 10.50"));
    EXPECT_TRUE(Contains(log, "SZ000001 1 3.00"));
}

TEST(Quotes, LabelsLongerThanTheKeyAreRefused) {
    TempDir work(L"longlabel");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call SendQuote --label SH6000001234 --arg 1 --arg 4 --arg 0\n");
    ASSERT_EQ(run.calls.size(), 1u) << run.out;
    EXPECT_EQ(run.calls[0].values, (std::vector<double>{-1, -1, -1}));
    EXPECT_TRUE(kovalt.MessagesOfKind(12).empty());
    EXPECT_TRUE(Contains(terminal.LogMessages(), "SendQuote: SH6000001234 超过9个字符, 不能放进行情记录, 已忽略"));
}

TEST(Quotes, SingleQuoteCarriesTheWholeLabel) {
    TempDir work(L"singlequote");
    KovaltProcess kovalt({.number = 3}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call SENDQUOTE --label SZ000001 --arg 12.5 --arg 7 --arg 23\n"
        "call _SENDQUOTE --label SZ000001 --arg 12.5 --arg null --arg 3\n");
    ASSERT_EQ(run.calls.size(), 2u) << run.out;
    EXPECT_EQ(run.calls[0].values, (std::vector<double>{0, 0, 12.5}));
    EXPECT_EQ(run.calls[1].values, (std::vector<double>{0, 0, 0}));
    const auto quotes = kovalt.CommandsOfKind(5);
    ASSERT_EQ(quotes.size(), 2u);
    EXPECT_STREQ(quotes[0].code, "SZ000001");
    EXPECT_EQ(quotes[0].sub_kind, 7);
    EXPECT_EQ(quotes[0].price, 12.5f);
    EXPECT_EQ(quotes[0].assistant, 3);
    EXPECT_EQ(quotes[0].selector_index, 1);
    EXPECT_EQ(quotes[1].sub_kind, 0);
    EXPECT_EQ(quotes[1].price, 0.0f);
}

TEST(Quotes, MarkersCarryMarketAndLocalMidnightAndTheLastSkipsAfterAnOrder) {
    TempDir work(L"markers");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "tdx 39 --a 1600000 --b 1260305 --c 7.5\n"
        "tdx 40 --a 1 --b 1260306 --c 2\n"
        "tdx 1 --a 600000 --b 3 --c 100\n"
        "tdx 41 --a 600000 --b 1260305 --c 1\n"  // an order ran: skipped, flag cleared
        "tdx 41 --a 12000001 --b 1260305 --c 1\n");
    ASSERT_EQ(run.calls.size(), 5u) << run.out;
    EXPECT_EQ(run.calls[0].values, std::vector<double>{1});
    EXPECT_EQ(run.calls[3].values, std::vector<double>{-1});
    EXPECT_EQ(run.calls[4].values, std::vector<double>{1});
    const auto lists = kovalt.MessagesOfKind(12);
    ASSERT_EQ(lists.size(), 3u);
    const QuoteEntry first = lists[0].Quotes().at(0);
    QuoteEntry want{};
    std::strcpy(want.key, "600000");
    want.field0 = 7.5f;
    want.field2 = 999999;
    want.field3 = 1772640000;  // 2026-03-05 00:00 in UTC+8
    want.period = 4;           // 3 + market digit 1
    EXPECT_EQ(std::memcmp(&first, &want, sizeof want), 0);
    const QuoteEntry second = lists[1].Quotes().at(0);
    EXPECT_STREQ(second.key, "000001");
    EXPECT_EQ(second.field2, 999998);
    EXPECT_EQ(second.field3, 1772640000 + 86400);
    EXPECT_EQ(second.period, 3);
    const QuoteEntry third = lists[2].Quotes().at(0);
    EXPECT_STREQ(third.key, "000001");  // market 12 taken modulo 10
    EXPECT_EQ(third.field2, 999997);
    EXPECT_EQ(third.period, 5);
}

}  // namespace
}  // namespace pintle::test
