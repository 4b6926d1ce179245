// DZH formulas placing orders and commands: the real DLL in a stand-in
// terminal process, talking to the stand-in assistant process.
#include <gtest/gtest.h>

#include "formats/command_record.h"
#include "support/e2e_checks.h"

namespace pintle::test {
namespace {

const Values kUntouched{-1, -1, -1};
const Values kLastBar{0, 0, 1};
const std::string kCannotSend = "无法连接自动交易软件下单,请以管理员权限运行大智慧或通达信试试.错误码";

TEST(Orders, BuyOnTheLastBarSendsTheWholeRecordAndMarksTheBar) {
    Rig rig({.number = 2});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.Run({L"call", L"BUY", L"--label", L"SH600000", L"--period", L"6", L"--times",
                                            L"1767225600,1767225660,1767225720", L"--arg", L"10.5", L"--arg", L"1",
                                            L"--arg", L"3", L"--arg", L"12"});
    ASSERT_EQ(run.calls.size(), 1u) << run.out;
    EXPECT_EQ(run.calls[0].ret, 0);
    EXPECT_EQ(run.calls[0].values, kLastBar);
    // A quantity of 1 goes out as 0.
    const CommandRecord want{.id = 1001, .code = "600000", .price = 10.5f, .formula = 3, .assistant = 2,
                             .selector_index = 0, .period = 6, .last_bar_time = 1767225720, .raw_arg4 = 12};
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(1), {"bytes=" + Hex(want)}));
    EXPECT_TRUE(LogHas(rig.terminal.LogMessages(), {"接收到 公式3 买入 600000 10.5000元 量*条件=1"}));
}

TEST(Orders, EveryOrderAndCommandNameSendsItsKindAndSubKind) {
    const struct {
        const char* name;
        int kind, sub_kind;
        bool bond;  // quantity unit 1000, whatever the host
    } exports[] = {
        {"BUY", 1, 0}, {"_BUY", 1, 0}, {"SELL", 1, 1}, {"_SELL", 1, 1}, {"BUY_RZ", 1, 2}, {"_BUY_RZ", 1, 2},
        {"SELL_RQ", 1, 3}, {"_SELL_RQ", 1, 3}, {"SELL_HK", 1, 4}, {"_SELL_HK", 1, 4}, {"BUY_HQ", 1, 5},
        {"_BUY_HQ", 1, 5}, {"BUYKZZ", 1, 0, true}, {"BuyKzz", 1, 0, true}, {"_BuyKzz", 1, 0, true},
        {"SELLKZZ", 1, 1, true}, {"SellKzz", 1, 1, true}, {"_SellKzz", 1, 1, true}, {"CLEARPOSITION", 6, 0},
        {"ClearPosition", 6, 0}, {"_ClearPosition", 6, 0}, {"START", 6, 1}, {"Start", 6, 1}, {"_Start", 6, 1},
        {"STOP", 6, 2}, {"Stop", 6, 2}, {"_Stop", 6, 2}, {"REFRESH", 8, 1}, {"Refresh", 8, 1}, {"_Refresh", 8, 1},
        {"SEND_DATA", 99, 0}, {"ORDERBUTTON", 99, 99}, {"OrderButton", 99, 99},
    };
    for (const wchar_t* host : {L"Terminal.exe", L"Halvane.exe"}) {
        Rig rig({.number = 3}, host);
        ASSERT_TRUE(rig.kovalt.Started());
        const std::string unit = host[0] == L'H' ? "1" : "0";
        std::string script;
        Lines want;
        for (const auto& e : exports) {
            // Orders: price, quantity, formula, selector 3. Commands: formula
            // number 7, selector 3 in argument 2.
            const bool order = e.kind == 1;
            script += std::string("call ") + e.name +
                      (order ? " --arg 9.5 --arg 200 --arg 4 --arg 3\n" : " --arg 7 --arg 3 --arg 1.5 --arg 0\n");
            want.push_back("kind=" + std::to_string(e.kind) + " sub=" + std::to_string(e.sub_kind) +
                           " assistant=3 sel=-1 code=600000 unit=" + (e.bond ? "1000" : unit) +
                           (order ? " qty=200 price=9.5 formula=4 arg4=3"
                                  : " formula=7 qty=3 price=7 data=" + std::string(e.kind == 99 ? "3" : "0")));
        }
        const RunResult run = rig.terminal.RunScript(script);
        EXPECT_EQ(ValuesOf(run), std::vector<Values>(std::size(exports), kLastBar)) << run.out;
        std::vector<JournalEntry> sent;
        for (const auto& m : Where(rig.kovalt.Messages(), "window", "main")) {
            if (m.Get("msg") == "copydata" && m.Get("kind") != "2") sent.push_back(m);
        }
        EXPECT_TRUE(FieldsAre(sent, want)) << "in " << (host[0] == L'H' ? "Halvane.exe" : "Terminal.exe");
    }
}

TEST(Orders, OrderLinesTakeTheirShapeFromFormulaAndQuantityAndRefusedOrdersSendNothing) {
    Rig rig({.number = 0});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript(
        "call BUY --label SZ000001 --arg 10.5 --arg 300 --arg 3 --arg 0\n"
        "call BUY --label SZ000001 --arg 10.5 --arg 50 --arg 3 --arg 0\n"
        "call SELL --label SZ000001 --arg 10.5 --arg 300 --arg 150 --arg 0\n"
        "call SELL --label SZ000001 --arg 10.5 --arg 50 --arg 150 --arg 0\n"
        "call BUY_RZ --label SZ000001 --arg 1 --arg 100 --arg 2 --arg 0\n"
        "call SELL_HK --label SZ000001 --arg 1 --arg 100 --arg 2 --arg 0\n"
        // Refused: quantity 0, overflowing quantities, no bars, not the last bar.
        "call BUY --arg 10 --arg 0 --arg 3 --arg 0\n"
        "call BUY --arg 10 --arg 100 --arg 3e9 --arg 0\n"
        "call SELL --arg 10 --arg -3e9 --arg 3 --arg 0\n"
        "call BUY --bars 0 --arg 10 --arg 100 --arg 3 --arg 0\n"
        "call BUY --bar-by-bar 1 --index 1 --arg 10 --arg 100 --arg 3 --arg 0\n"
        "call CLEARPOSITION --arg 0 --arg 0\n"
        "call REFRESH --arg 0 --arg 0\n");
    EXPECT_EQ(ValuesOf(run), (std::vector<Values>{kLastBar, kLastBar, kLastBar, kLastBar, kLastBar, kLastBar,
                                                  kUntouched, kUntouched, kUntouched, {}, kUntouched, kUntouched,
                                                  kUntouched}))
        << run.out;
    const Lines log = rig.terminal.LogMessages();
    EXPECT_TRUE(LogHas(log, {"接收到 公式3 买入 000001 10.5000元 量*条件=300股 ", "接收到 公式3 买入 000001 10.5000元 量*条件=50",
                             "接收到 篮子150 卖出 000001 10.5000元 300股 ", "接收到 篮子150 卖出 000001 10.5000元 量*条件=50 ",
                             "接收到 公式3 买入 600000 10.0000元 量*条件=0", "没有数据，不能买入"}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "接收到 公式2 卖出 000001 1.0000元 量*条件=100股 "), 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "运算溢出 -2147483648"), 2);
    EXPECT_EQ(rig.kovalt.CommandsOfKind(1).size(), 6u);
    EXPECT_TRUE(rig.kovalt.CommandsOfKind(6).empty());
    EXPECT_TRUE(rig.kovalt.CommandsOfKind(8).empty());
}

TEST(Orders, ControlCommandsSwitchByTheirSelectorAndLogWhatTheyAsk) {
    Rig rig({.number = 1});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript(
        "call CLEARPOSITION --arg 5 --arg 31\ncall START --arg 6 --arg 1\ncall STOP --arg 7 --arg 1\n");
    ASSERT_EQ(run.calls.size(), 3u) << run.out;
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(6), {"sub=0 formula=5 sel=2 qty=31 assistant=1", "sub=1", "sub=2"}));
    EXPECT_TRUE(LogHas(rig.terminal.LogMessages(),
                       {"接收到 清仓命令 5 ", "接收到 启动自动交易 命令 6 ", "接收到 停止自动交易 命令 7 "}));
}

TEST(Orders, VersionGateRefusesAssistantsOlderThan30800) {
    for (int version : {30799, 30800}) {
        Rig rig({.number = 0, .version = version});
        ASSERT_TRUE(rig.kovalt.Started());
        const RunResult run = rig.terminal.RunScript("call BUY --arg 10 --arg 100 --arg 3 --arg 0\n");
        const bool refused = version < 30800;
        EXPECT_EQ(ValuesOf(run), std::vector<Values>{refused ? kUntouched : kLastBar}) << version;
        EXPECT_EQ(rig.kovalt.CommandsOfKind(1).size(), refused ? 0u : 1u) << version;
        EXPECT_EQ(Contains(rig.terminal.LogMessages(), "无法连接自动交易软件下单,请更新到最新版本"), refused);
    }
}

TEST(Orders, ExtraReceiversGetTheSameRecordAndTheTerminalWindow) {
    Rig rig({.number = 0, .extra_receivers = 2});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript("window\ncall SELL --arg 8 --arg 400 --arg 2 --arg 0\n");
    const auto pos = run.out.find("window 0x");
    ASSERT_NE(pos, std::string::npos) << run.out;
    const std::string window = run.out.substr(pos + 7, run.out.find_first_of("\r\n", pos) - pos - 7);
    const auto main = rig.kovalt.MessagesOfKind(1, "main");
    ASSERT_EQ(main.size(), 1u);
    for (const char* receiver : {"main", "extra0", "extra1"}) {
        EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(1, receiver),
                              {"wparam=" + window + " bytes=" + main[0].Get("bytes")}))
            << receiver;
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
    Rig rig({.number = 2, .refresh_receivers = {3, 2}});
    ASSERT_TRUE(rig.kovalt.Started());
    rig.terminal.RunScript("call BUY --arg 10 --arg 100 --arg 3 --arg 2\n");
    EXPECT_EQ(rig.kovalt.CommandsOfKind(2, "main").size(), 1u);
    EXPECT_TRUE(rig.kovalt.CommandsOfKind(2, "refresh0").empty());
    const CommandRecord want{.id = 1001, .assistant = 2};
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(2, "refresh1"), {"bytes=" + Hex(want)}));
}

TEST(Orders, AFailingMainWindowIsLoggedAndNoticedWhileExtraReceiversAreServed) {
    Rig rig({.number = 4, .extra_receivers = 1, .fail_main = true});
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult run = rig.terminal.RunScript("call BUY --arg 10 --arg 100 --arg 3 --arg 4\n");
    EXPECT_EQ(ValuesOf(run), std::vector<Values>{kLastBar});
    EXPECT_TRUE(LogHas(rig.terminal.LogMessages(), {kCannotSend + "(0)"}));
    EXPECT_EQ(rig.kovalt.CommandsOfKind(1, "extra0").size(), 1u);
    ASSERT_TRUE(rig.kovalt.WaitForJournalLines(4));
    EXPECT_TRUE(FieldsAre(Where(rig.kovalt.Messages(), "msg", "notice"), {"wparam=0 lparam=4"}));
}

TEST(Orders, AHungAssistantDoesNotHoldTheTerminalForEver) {
    Rig rig({.number = 0, .hang_main_ms = 8000});
    ASSERT_TRUE(rig.kovalt.Started());
    ASSERT_EQ(rig.terminal.RunScript("call BUY --arg 10 --arg 100 --arg 3 --arg 0\n").calls.size(), 1u);
    EXPECT_TRUE(LogHas(rig.terminal.LogMessages(), {kCannotSend + "(1460)"}));
}

TEST(Orders, SelectorsSwitchBetweenRunningAssistants) {
    Rig rig({.number = 5});
    TempDir work6(L"switch6");
    KovaltProcess six({.number = 6}, work6.path());
    ASSERT_TRUE(rig.kovalt.Started() && six.Started());
    rig.terminal.RunScript(
        "call BUY --arg 10 --arg 100 --arg 3 --arg 15\n"
        "call BUY --arg 11 --arg 100 --arg 3 --arg 6\n"
        "call SELL --arg 12 --arg 100 --arg 3 --arg 25\n");
    EXPECT_TRUE(FieldsAre(rig.kovalt.MessagesOfKind(1), {"sel=0", "sel=1 price=12"}));
    EXPECT_TRUE(FieldsAre(six.MessagesOfKind(1), {"sel=-1 assistant=6"}));
}

TEST(Orders, BriskoHostDottedLabelsAndUnterminatedLabels) {
    Rig rig({.number = 0}, L"BRISKO.EXE");
    ASSERT_TRUE(rig.kovalt.Started());
    const RunResult brisko = rig.terminal.RunScript("call BUY --arg 10 --arg 100 --arg 3 --arg 0\n");
    EXPECT_EQ(ValuesOf(brisko), (std::vector<Values>{{1, 1, 1}}));  // every bar marked
    const RunResult plain = Terminal().RunScript(
        "call BUY --label 600000.SH --arg 10 --arg 100 --arg 3 --arg 0\n"
        "call BUY --label-hex 5348313233343536373839303132333435363738 --arg 10 --arg 100 --arg 3 --arg 0\n"
        "call BUY --no-result --arg 10 --arg 100 --arg 3 --arg 0\n");
    ASSERT_EQ(plain.exit_code, 0u) << plain.out;
    EXPECT_EQ(plain.calls.at(0).values, (Values{1, 1, 1}));
    const auto got = rig.kovalt.CommandsOfKind(1);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_STREQ(got[1].code, "0000.SH");  // the label from its third byte, as it stands
    // A label without its terminator is cut at its field.
    EXPECT_EQ(std::string(got[2].code, 19), std::string("123456789012345678\0", 19));
}

TEST(Load, TellsWhetherTheAssistantRunsWhenItCannotConnect) {
    AssistantsLock nobody_else;
    const std::string attach = "Pintle.dll Version(3.3.7.5Varo专用) Attach Terminal.exe",
                      detach = "~Pintle.dll Version(3.3.7.5) DeAttach Terminal.exe",
                      no_link = "不能连接编号为 0 的 助手,  Pintle.dll将不能连接助手下单 错误=2, "
                                "请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试";
    Terminal alone;
    alone.Run({L"call", L"RUNMODE"});
    EXPECT_EQ(alone.LogMessages(), (Lines{attach, no_link, "无法连接到自动交易，自动交易软件未启动", detach}));

    Rig other({.number = 1});
    ASSERT_TRUE(other.kovalt.Started());
    other.terminal.Run({L"call", L"RUNMODE"});
    EXPECT_EQ(other.terminal.LogMessages(),
              (Lines{attach, no_link,
                     "无法连接到自动交易，可能是公式里指定的软件编号(0)和自动交易软件里设置不匹配或者权限不足,"
                     "请确认编号一致，并且以管理员权限运行大智慧或者通达信",
                     detach}));
}

}  // namespace
}  // namespace pintle::test
