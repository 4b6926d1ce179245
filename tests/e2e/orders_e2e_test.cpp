// DZH formulas placing orders and commands: the real DLL in a stand-in
// terminal process, talking to the stand-in assistant process.
#include <gtest/gtest.h>

#include <cstring>

#include "formats/command_record.h"
#include "support/kovalt_process.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

const std::vector<double> kUntouched{-1, -1, -1};
const std::vector<double> kLastBar{0, 0, 1};

CommandRecord Expected(int32_t sub_kind, const char* code) {
    CommandRecord r{};
    r.id = 1001;
    r.sub_kind = sub_kind;
    std::strncpy(r.code, code, sizeof r.code - 1);
    return r;
}

void ExpectSameBytes(const CommandRecord& got, const CommandRecord& want) {
    const auto* g = reinterpret_cast<const uint8_t*>(&got);
    const auto* w = reinterpret_cast<const uint8_t*>(&want);
    for (std::size_t i = 0; i < sizeof(CommandRecord); ++i) {
        EXPECT_EQ(g[i], w[i]) << "byte " << i;
    }
}

TEST(Orders, BuyOnTheLastBarSendsTheWholeRecordAndMarksTheBar) {
    TempDir work(L"orders");
    KovaltProcess kovalt({.number = 2}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.Run({L"call", L"BUY", L"--label", L"SH600000", L"--period", L"6", L"--times",
                                        L"1767225600,1767225660,1767225720", L"--arg", L"10.5", L"--arg", L"1",
                                        L"--arg", L"3", L"--arg", L"12"});
    ASSERT_EQ(run.calls.size(), 1u) << run.out;
    EXPECT_EQ(run.calls[0].ret, 0);
    EXPECT_EQ(run.calls[0].values, kLastBar);

    const auto orders = kovalt.CommandsOfKind(1);
    ASSERT_EQ(orders.size(), 1u);
    CommandRecord want = Expected(0, "600000");
    want.quantity = 0;  // a quantity of 1 goes out as 0
    want.price = 10.5f;
    want.formula = 3;
    want.assistant = 2;
    want.selector_index = 0;
    want.period = 6;
    want.last_bar_time = 1767225720;
    want.raw_arg4 = 12;
    ExpectSameBytes(orders[0], want);
    EXPECT_TRUE(Contains(terminal.LogMessages(), "接收到 公式3 买入 600000 10.5000元 量*条件=1"));
}

struct Export {
    const char* name;
    int kind, sub_kind;
    float unit;  // quantity unit in an ordinary terminal
};

TEST(Orders, EveryOrderAndCommandNameSendsItsKindAndSubKind) {
    const Export exports[] = {
        {"BUY", 1, 0, 0}, {"_BUY", 1, 0, 0}, {"SELL", 1, 1, 0}, {"_SELL", 1, 1, 0},
        {"BUY_RZ", 1, 2, 0}, {"_BUY_RZ", 1, 2, 0}, {"SELL_RQ", 1, 3, 0}, {"_SELL_RQ", 1, 3, 0},
        {"SELL_HK", 1, 4, 0}, {"_SELL_HK", 1, 4, 0}, {"BUY_HQ", 1, 5, 0}, {"_BUY_HQ", 1, 5, 0},
        {"BUYKZZ", 1, 0, 1000}, {"BuyKzz", 1, 0, 1000}, {"_BuyKzz", 1, 0, 1000},
        {"SELLKZZ", 1, 1, 1000}, {"SellKzz", 1, 1, 1000}, {"_SellKzz", 1, 1, 1000},
        {"CLEARPOSITION", 6, 0, 0}, {"ClearPosition", 6, 0, 0}, {"_ClearPosition", 6, 0, 0},
        {"START", 6, 1, 0}, {"Start", 6, 1, 0}, {"_Start", 6, 1, 0},
        {"STOP", 6, 2, 0}, {"Stop", 6, 2, 0}, {"_Stop", 6, 2, 0},
        {"REFRESH", 8, 1, 0}, {"Refresh", 8, 1, 0}, {"_Refresh", 8, 1, 0},
        {"SEND_DATA", 99, 0, 0}, {"ORDERBUTTON", 99, 99, 0}, {"OrderButton", 99, 99, 0},
    };
    for (const wchar_t* host : {L"Terminal.exe", L"Halvane.exe"}) {
        TempDir work(L"names");
        KovaltProcess kovalt({.number = 3}, work.path());
        ASSERT_TRUE(kovalt.Started());
        Terminal terminal(host);
        std::string script;
        for (const auto& e : exports) {
            // Orders: price, quantity, formula, selector 3. Commands: formula
            // number 7, selector 3 in argument 2.
            script += std::string("call ") + e.name + (e.kind == 1 ? " --arg 9.5 --arg 200 --arg 4 --arg 3\n"
                                                            : " --arg 7 --arg 3 --arg 1.5 --arg 0\n");
        }
        const RunResult run = terminal.RunScript(script);
        ASSERT_EQ(run.calls.size(), std::size(exports)) << run.out;
        std::vector<CommandRecord> got;
        std::vector<int> kinds;
        for (const auto& m : kovalt.Messages()) {
            if (m.Get("window") != "main" || m.Get("kind") == "2" || !m.Record()) continue;
            got.push_back(*m.Record());
            kinds.push_back(std::stoi(m.Get("kind")));
        }
        ASSERT_EQ(got.size(), std::size(exports));
        const bool halvane = std::wstring(host) == L"Halvane.exe";
        for (std::size_t i = 0; i < got.size(); ++i) {
            const Export& e = exports[i];
            SCOPED_TRACE(std::string(e.name) + (halvane ? " in Halvane.exe" : ""));
            EXPECT_EQ(kinds[i], e.kind);
            EXPECT_EQ(got[i].sub_kind, e.sub_kind);
            EXPECT_EQ(got[i].assistant, 3);
            EXPECT_EQ(got[i].selector_index, -1);
            EXPECT_STREQ(got[i].code, "600000");
            EXPECT_EQ(got[i].quantity_unit, e.unit == 1000 ? 1000.0f : (halvane ? 1.0f : 0.0f));
            EXPECT_EQ(run.calls[i].values, kLastBar);
            if (e.kind == 1) {
                EXPECT_EQ(got[i].quantity, 200);
                EXPECT_EQ(got[i].price, 9.5f);
                EXPECT_EQ(got[i].formula, 4);
                EXPECT_EQ(got[i].raw_arg4, 3);
            } else {
                EXPECT_EQ(got[i].formula, 7);
                EXPECT_EQ(got[i].quantity, 3);
                EXPECT_EQ(got[i].price, 7.0f);
                EXPECT_EQ(got[i].data_value, e.kind == 99 ? 3 : 0);
            }
        }
    }
}

TEST(Orders, OrderLinesTakeTheirShapeFromFormulaAndQuantity) {
    TempDir work(L"lines");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call BUY --label SZ000001 --arg 10.5 --arg 300 --arg 3 --arg 0\n"
        "call BUY --label SZ000001 --arg 10.5 --arg 50 --arg 3 --arg 0\n"
        "call SELL --label SZ000001 --arg 10.5 --arg 300 --arg 150 --arg 0\n"
        "call SELL --label SZ000001 --arg 10.5 --arg 50 --arg 150 --arg 0\n"
        "call BUY_RZ --label SZ000001 --arg 1 --arg 100 --arg 2 --arg 0\n"
        "call SELL_HK --label SZ000001 --arg 1 --arg 100 --arg 2 --arg 0\n");
    ASSERT_EQ(run.calls.size(), 6u) << run.out;
    const auto log = terminal.LogMessages();
    for (const char* line : {"接收到 公式3 买入 000001 10.5000元 量*条件=300股 ", "接收到 公式3 买入 000001 10.5000元 量*条件=50",
                                "接收到 篮子150 卖出 000001 10.5000元 300股 ", "接收到 篮子150 卖出 000001 10.5000元 量*条件=50 ",
                                "接收到 公式2 卖出 000001 1.0000元 量*条件=100股 "}) {
        EXPECT_TRUE(Contains(log, line)) << line;
    }
    EXPECT_EQ(std::count(log.begin(), log.end(), "接收到 公式2 卖出 000001 1.0000元 量*条件=100股 "), 2);
    EXPECT_EQ(kovalt.CommandsOfKind(1).size(), 6u);
}

TEST(Orders, QuantityZeroOverflowAndNoBarsSendNothing) {
    TempDir work(L"refused");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call BUY --arg 10 --arg 0 --arg 3 --arg 0\n"
        "call BUY --arg 10 --arg 100 --arg 3e9 --arg 0\n"
        "call SELL --arg 10 --arg -3e9 --arg 3 --arg 0\n"
        "call BUY --bars 0 --arg 10 --arg 100 --arg 3 --arg 0\n"
        "call BUY --bar-by-bar 1 --index 1 --arg 10 --arg 100 --arg 3 --arg 0\n"
        "call CLEARPOSITION --arg 0 --arg 0\n"
        "call REFRESH --arg 0 --arg 0\n");
    ASSERT_EQ(run.calls.size(), 7u) << run.out;
    for (std::size_t i = 0; i < 7; ++i) {
        if (i == 3) continue;  // no bars: no buffer to look at
        EXPECT_EQ(run.calls[i].values, kUntouched) << "call " << i;
    }
    EXPECT_TRUE(kovalt.CommandsOfKind(1).empty());
    EXPECT_TRUE(kovalt.CommandsOfKind(6).empty());
    EXPECT_TRUE(kovalt.CommandsOfKind(8).empty());
    const auto log = terminal.LogMessages();
    EXPECT_TRUE(Contains(log, "接收到 公式3 买入 600000 10.0000元 量*条件=0"));
    EXPECT_EQ(std::count(log.begin(), log.end(), "运算溢出 -2147483648"), 2);
    EXPECT_TRUE(Contains(log, "没有数据，不能买入"));
}

TEST(Orders, ControlCommandsSwitchByTheirSelectorAndLogWhatTheyAsk) {
    TempDir work(L"control");
    KovaltProcess kovalt({.number = 1}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call CLEARPOSITION --arg 5 --arg 31\n"
        "call START --arg 6 --arg 1\n"
        "call STOP --arg 7 --arg 1\n");
    ASSERT_EQ(run.calls.size(), 3u) << run.out;
    const auto control = kovalt.CommandsOfKind(6);
    ASSERT_EQ(control.size(), 3u);
    EXPECT_EQ(control[0].sub_kind, 0);
    EXPECT_EQ(control[0].formula, 5);
    EXPECT_EQ(control[0].selector_index, 2);
    EXPECT_EQ(control[0].quantity, 31);
    EXPECT_EQ(control[0].assistant, 1);
    const auto log = terminal.LogMessages();
    EXPECT_TRUE(Contains(log, "接收到 清仓命令 5 "));
    EXPECT_TRUE(Contains(log, "接收到 启动自动交易 命令 6 "));
    EXPECT_TRUE(Contains(log, "接收到 停止自动交易 命令 7 "));
}

TEST(Orders, VersionGateRefusesAssistantsOlderThan30800) {
    for (int version : {30799, 30800}) {
        TempDir work(L"version");
        KovaltProcess kovalt({.number = 0, .version = version}, work.path());
        ASSERT_TRUE(kovalt.Started());
        Terminal terminal;
        const RunResult run = terminal.Run({L"call", L"BUY", L"--arg", L"10", L"--arg", L"100", L"--arg", L"3",
                                            L"--arg", L"0"});
        ASSERT_EQ(run.calls.size(), 1u);
        const bool refused = version < 30800;
        EXPECT_EQ(kovalt.CommandsOfKind(1).size(), refused ? 0u : 1u) << version;
        EXPECT_EQ(run.calls[0].values, refused ? kUntouched : kLastBar) << version;
        EXPECT_EQ(Contains(terminal.LogMessages(), "无法连接自动交易软件下单,请更新到最新版本"), refused);
    }
}

TEST(Orders, ExtraReceiversGetTheSameRecordAndTheTerminalWindow) {
    TempDir work(L"extra");
    KovaltProcess kovalt({.number = 0, .extra_receivers = 2}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript("window\ncall SELL --arg 8 --arg 400 --arg 2 --arg 0\n");
    const auto pos = run.out.find("window 0x");
    ASSERT_NE(pos, std::string::npos) << run.out;
    const std::string window = run.out.substr(pos + 7, run.out.find_first_of("\r\n", pos) - pos - 7);
    const auto main = kovalt.CommandsOfKind(1, "main");
    ASSERT_EQ(main.size(), 1u);
    for (const char* extra : {"extra0", "extra1"}) {
        const auto got = kovalt.CommandsOfKind(1, extra);
        ASSERT_EQ(got.size(), 1u) << extra;
        ExpectSameBytes(got[0], main[0]);
    }
    for (const auto& m : kovalt.Messages()) {
        if (m.Get("kind") == "1") {
            EXPECT_EQ(m.Get("wparam"), window);
        }
    }
}

// A receiver whose window has gone is skipped by the refused send itself;
// the main window and the live receivers after it are still served.
TEST(Orders, AReceiverThatIsNoWindowAnyMoreDoesNotStopTheOthers) {
    TempDir work(L"stale");
    KovaltProcess kovalt({.number = 0, .extra_receivers = 2}, work.path());
    ASSERT_TRUE(kovalt.Started());
    const HWND gone = CreateWindowExW(0, L"STATIC", L"gone", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    // TDX orders do not poll, so no republishing restores the slot first.
    SharedBlockView::Open(0, /*writable=*/true).Locked([&](SharedStateBlock& block) {
        block.extra_receivers[0] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(gone));
    });
    Terminal terminal;
    const RunResult run = terminal.Run({L"tdx", L"1", L"--a", L"600000", L"--b", L"3", L"--c", L"100"});
    ASSERT_EQ(run.calls.size(), 1u) << run.out;
    EXPECT_EQ(run.calls[0].values.back(), 1.0);
    EXPECT_EQ(kovalt.CommandsOfKind(1, "main").size(), 1u);
    EXPECT_EQ(kovalt.CommandsOfKind(1, "extra1").size(), 1u);
    EXPECT_TRUE(kovalt.CommandsOfKind(1, "extra0").empty());
}

TEST(Orders, RefreshRequestsReachOnlyReceiversOfTheSameNumber) {
    TempDir work(L"refresh");
    KovaltProcess kovalt({.number = 2, .refresh_receivers = {3, 2}}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    terminal.Run({L"call", L"BUY", L"--arg", L"10", L"--arg", L"100", L"--arg", L"3", L"--arg", L"2"});
    EXPECT_EQ(kovalt.CommandsOfKind(2, "main").size(), 1u);
    EXPECT_EQ(kovalt.CommandsOfKind(2, "refresh1").size(), 1u);
    EXPECT_TRUE(kovalt.CommandsOfKind(2, "refresh0").empty());
    const auto request = kovalt.CommandsOfKind(2, "refresh1");
    ASSERT_EQ(request.size(), 1u);
    CommandRecord want = Expected(0, "");
    want.assistant = 2;
    ExpectSameBytes(request[0], want);
}

TEST(Orders, AFailingMainWindowIsLoggedAndNoticedWhileExtraReceiversAreServed) {
    TempDir work(L"failing");
    KovaltProcess kovalt({.number = 4, .extra_receivers = 1, .fail_main = true}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.Run({L"call", L"BUY", L"--arg", L"10", L"--arg", L"100", L"--arg", L"3", L"--arg",
                                        L"4"});
    EXPECT_EQ(run.calls[0].values, kLastBar);
    EXPECT_TRUE(Contains(terminal.LogMessages(), "无法连接自动交易软件下单,请以管理员权限运行大智慧或通达信试试.错误码(0)"));
    EXPECT_EQ(kovalt.CommandsOfKind(1, "extra0").size(), 1u);
    ASSERT_TRUE(kovalt.WaitForJournalLines(4));
    int notices = 0;
    for (const auto& m : kovalt.Messages()) {
        if (m.Get("msg") != "notice") continue;
        ++notices;
        EXPECT_EQ(m.Get("wparam"), "0");
        EXPECT_EQ(m.Get("lparam"), "4");
    }
    EXPECT_EQ(notices, 1);
}

TEST(Orders, AHungAssistantDoesNotHoldTheTerminalForEver) {
    TempDir work(L"hung");
    KovaltProcess kovalt({.number = 0, .hang_main_ms = 8000}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.Run({L"call", L"BUY", L"--arg", L"10", L"--arg", L"100", L"--arg", L"3", L"--arg",
                                        L"0"});
    ASSERT_EQ(run.calls.size(), 1u);
    EXPECT_TRUE(Contains(terminal.LogMessages(), "无法连接自动交易软件下单,请以管理员权限运行大智慧或通达信试试.错误码(1460)"));
}

TEST(Orders, SelectorsSwitchBetweenRunningAssistants) {
    TempDir work(L"switch");
    KovaltProcess five({.number = 5}, work.path() + L"");
    TempDir work6(L"switch6");
    KovaltProcess six({.number = 6}, work6.path());
    ASSERT_TRUE(five.Started() && six.Started());
    Terminal terminal;
    terminal.RunScript(
        "call BUY --arg 10 --arg 100 --arg 3 --arg 15\n"
        "call BUY --arg 11 --arg 100 --arg 3 --arg 6\n"
        "call SELL --arg 12 --arg 100 --arg 3 --arg 25\n");
    const auto at5 = five.CommandsOfKind(1), at6 = six.CommandsOfKind(1);
    ASSERT_EQ(at5.size(), 2u);
    ASSERT_EQ(at6.size(), 1u);
    EXPECT_EQ(at5[0].selector_index, 0);
    EXPECT_EQ(at5[1].selector_index, 1);
    EXPECT_EQ(at5[1].price, 12.0f);
    EXPECT_EQ(at6[0].selector_index, -1);
    EXPECT_EQ(at6[0].assistant, 6);
}

TEST(Orders, BriskoHostAndDottedLabelsMarkEveryBar) {
    TempDir work(L"brisko");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal brisko(L"BRISKO.EXE");
    const RunResult a = brisko.Run({L"call", L"BUY", L"--arg", L"10", L"--arg", L"100", L"--arg", L"3", L"--arg", L"0"});
    EXPECT_EQ(a.calls[0].values, (std::vector<double>{1, 1, 1}));
    Terminal plain;
    const RunResult b = plain.Run({L"call", L"BUY", L"--label", L"600000.SH", L"--arg", L"10", L"--arg", L"100",
                                   L"--arg", L"3", L"--arg", L"0"});
    EXPECT_EQ(b.calls[0].values, (std::vector<double>{1, 1, 1}));
    const auto got = kovalt.CommandsOfKind(1);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_STREQ(got[1].code, "0000.SH");  // the label from its third byte, as it stands
}

TEST(Orders, ALabelWithoutTerminatorIsCutAtItsField) {
    TempDir work(L"label");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call BUY --label-hex 5348313233343536373839303132333435363738 --arg 10 --arg 100 --arg 3 --arg 0\n"
        "call BUY --no-result --arg 10 --arg 100 --arg 3 --arg 0\n");
    ASSERT_EQ(run.exit_code, 0u) << run.out;
    const auto got = kovalt.CommandsOfKind(1);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(std::string(got[0].code, 19), std::string("123456789012345678\0", 19));
}

TEST(Load, TellsWhetherTheAssistantRunsWhenItCannotConnect) {
    AssistantsLock nobody_else;
    {
        Terminal terminal;
        terminal.Run({L"call", L"RUNMODE"});
        const auto log = terminal.LogMessages();
        ASSERT_EQ(log.size(), 4u);
        EXPECT_EQ(log[1], "不能连接编号为 0 的 助手,  Pintle.dll将不能连接助手下单 错误=2, "
                               "请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试");
        EXPECT_EQ(log[2], "无法连接到自动交易，自动交易软件未启动");
    }
    TempDir work(L"wrong-number");
    KovaltProcess other({.number = 1}, work.path());
    ASSERT_TRUE(other.Started());
    Terminal terminal;
    terminal.Run({L"call", L"RUNMODE"});
    const auto log = terminal.LogMessages();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2], "无法连接到自动交易，可能是公式里指定的软件编号(0)和自动交易软件里设置不匹配或者权限不足,"
                           "请确认编号一致，并且以管理员权限运行大智慧或者通达信");
}

}  // namespace
}  // namespace pintle::test
