// The assistant link inside this process (the plug-in's static library)
// against real stand-in assistant processes, with the clock moved by hand.
#include <gtest/gtest.h>

#include "assistant/assistant_state.h"
#include "assistant/assistant.h"
#include "common/clock.h"
#include "common/paths.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "support/e2e_checks.h"
#include "support/formula_builder.h"
#include "support/formula_calls.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

class LinkTest : public SandboxTest {};

TEST_F(LinkTest, MappingNamesCarryTheNumberExceptForZero) {
    EXPECT_EQ(MappingNameFor(0), L"KovaltFileMappingObject");
    EXPECT_EQ(MappingNameFor(3), L"KovaltFileMappingObject3");
    AssistantsLock nobody_else;
    SwitchAssistant(3);
    EXPECT_EQ(Assistant().link->MappingName(), L"KovaltFileMappingObject3");
    EXPECT_EQ(Assistant().link->LastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Assistant().number, 3);
}

TEST_F(LinkTest, PollAsksForARepublishAtMostEvery3000Ms) {
    KovaltProcess kovalt({.number = 1}, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    SwitchAssistant(1);
    AssistantLink& link = *Assistant().link;
    EXPECT_TRUE(link.Poll());
    clock_.AdvanceMs(1000);
    EXPECT_TRUE(link.Poll());
    EXPECT_EQ(Where(kovalt.Messages(), "kind", "2").size(), 1u);
    clock_.AdvanceMs(2500);
    EXPECT_TRUE(link.Poll());
    EXPECT_EQ(Where(kovalt.Messages(), "kind", "2").size(), 2u);
    // A new link polls at once.
    SwitchAssistant(1);
    EXPECT_TRUE(Assistant().link->Poll());
    EXPECT_EQ(Where(kovalt.Messages(), "kind", "2").size(), 3u);
}

TEST_F(LinkTest, ConnectionFailureIsLoggedOncePer300SecondsPerNumber) {
    AssistantsLock nobody_else;
    SwitchAssistant(7);
    clock_.AdvanceSeconds(1);
    CurrentMainWindow();
    clock_.AdvanceSeconds(299);
    CurrentMainWindow();  // exactly 300 s later: still quiet
    SwitchAssistant(0);   // another number has its own time
    clock_.AdvanceSeconds(1);
    SwitchAssistant(7);
    const std::string line7 =
        "不能连接编号为  7 的 助手, Pintle.dll将不能连接助手下单 错误=2, "
        "请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试";
    const std::string line0 =
        "不能连接编号为 0 的 助手,  Pintle.dll将不能连接助手下单 错误=2, "
        "请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试";
    EXPECT_EQ(Log(), (std::vector<std::string>{line7, line0, line7}));
    SwitchAssistant(12);  // numbers above 9 are tried but never logged
    EXPECT_EQ(Log().size(), 3u);
    clock_.SetNowSeconds(clock_.NowSeconds() - 3600);  // the clock set back: not an hour of silence
    SwitchAssistant(7);
    EXPECT_EQ(Log(), (std::vector<std::string>{line7, line0, line7, line7}));
}

TEST_F(LinkTest, NoticesArePostedAtMostOncePer3Seconds) {
    KovaltProcess kovalt({.number = 2}, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    SwitchAssistant(2);
    PostAssistantNotice(5, 0, nullptr);
    PostAssistantNotice(6, 0, L"dropped whole");
    clock_.AdvanceSeconds(3);
    PostAssistantNotice(7, 9, nullptr);
    clock_.SetNowSeconds(clock_.NowSeconds() - 3600);  // the clock set back
    PostAssistantNotice(8, 0, nullptr);
    ASSERT_TRUE(kovalt.WaitForJournalLines(3));
    EXPECT_TRUE(FieldsAre(Where(kovalt.Messages(), "msg", "notice"),
                          {"wparam=5 lparam=2", "wparam=7 lparam=9", "wparam=8 lparam=2"}));
    EXPECT_TRUE(Log().empty());
}

TEST_F(LinkTest, WithoutAnAssistantTheNoticeTextGoesToTheLog) {
    AssistantsLock nobody_else;
    SwitchAssistant(8);
    clock_.AdvanceSeconds(10);
    PostAssistantNotice(1, 0, L"没有结果文件");
    EXPECT_EQ(Log().back(), "没有结果文件");
}

TEST_F(LinkTest, AnAssistantStartedAfterAFailedCallIsFoundOnTheNextCall) {
    AssistantsLock nobody_else;
    SwitchAssistant(0);
    FormulaBuilder f(3);
    f.Arg(10).Arg(100).Arg(3).Arg(0);
    EXPECT_EQ(pintle_BUY(f.get()), 0);
    EXPECT_EQ(f.result(), (std::vector<double>{0, 0, 1}));  // nothing sent, results written
    KovaltProcess kovalt({.number = 0}, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    EXPECT_EQ(pintle_BUY(f.get()), 0);
    EXPECT_EQ(Where(kovalt.Messages(), "kind", "1").size(), 1u);
    EXPECT_EQ(AssistantDirectoryOf(0), std::wstring(PINTLE_BUILD_DIR_WIN) + L"\\");  // read when its window was found
    EXPECT_EQ(AssistantDirectoryOf(1), L"");
}

TEST_F(LinkTest, AWindowGoneWhileTheMappingStaysLeavesNoViewBehind) {
    KovaltProcess kovalt({.number = 4}, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    SwitchAssistant(4);
    ASSERT_NE(CurrentMainWindow(), nullptr);
    ASSERT_NE(Assistant().link->Block(), nullptr);
    kovalt.SendControl(kKovaltDestroyMain, 0);
    EXPECT_EQ(CurrentMainWindow(), nullptr);
    EXPECT_EQ(Assistant().link->Block(), nullptr);
    FormulaBuilder f(3);
    f.Arg(10).Arg(100).Arg(3).Arg(4);
    EXPECT_EQ(pintle_BUY(f.get()), 0);
    EXPECT_EQ(Where(kovalt.Messages(), "kind", "1").size(), 0u);
}

TEST_F(LinkTest, TheValueCommandForwardsAStoredValueWithoutTheVersionGate) {
    KovaltProcess kovalt({.number = 6, .version = 1}, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    SwitchAssistant(6);
    EXPECT_EQ(SendValueCommand(L"Set", "600000", 12, 3, 2.5f), 1);
    EXPECT_EQ(SendValueCommand(L"Set", std::string(200, '9'), 80, 0, 1.0f), 1);  // cut at its field
    const CommandRecord want{.id = 1001, .sub_kind = 12, .code = "600000", .price = 2.5f, .formula = 3, .assistant = 6};
    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(3), {"bytes=" + Hex(want), "code=" + std::string(127, '9')}));
}

// Every order and command that reaches delivery while its assistant does
// not run says so, once a minute per assistant, function and code; calls
// that drop before delivery and orders without a code do not. (CancelOrder
// and TDX 6 cancel only what the assistant's block shows outstanding: without
// an assistant they never reach delivery.)
TEST_F(LinkTest, EveryCommandThatFindsNoAssistantSaysSoOnceAMinute) {
    AssistantsLock nobody_else;
    struct Dzh { pintle_FormulaFn fn; const char* name; std::initializer_list<double> args; };
    const Dzh dzh[] = {
        {pintle_BUY, "BUY", {10, 100, 3, 0}},          {pintle_SELL, "SELL", {10, 100, 3, 0}},
        {pintle_BUY_RZ, "BUY_RZ", {10, 100, 3, 0}},    {pintle_SELL_RQ, "SELL_RQ", {10, 100, 3, 0}},
        {pintle_SELL_HK, "SELL_HK", {10, 100, 3, 0}},  {pintle_BUY_HQ, "BUY_HQ", {10, 100, 3, 0}},
        {pintle_BUYKZZ, "BUYKZZ", {10, 100, 3, 0}},    {pintle_SELLKZZ, "SELLKZZ", {10, 100, 3, 0}},
        {pintle_CLEARPOSITION, "CLEARPOSITION", {1, 0}}, {pintle_START, "START", {1, 0}},
        {pintle_STOP, "STOP", {1, 0}},                 {pintle_REFRESH, "REFRESH", {1, 0}},
        {pintle_SEND_DATA, "SEND_DATA", {1, 0}},       {pintle_ORDERBUTTON, "ORDERBUTTON", {1, 0}},
        {pintle_Enable, "Enable", {1, 0}},             {pintle_Disable, "Disable", {1, 0}},
        {pintle_SendMessages, "SendMessages", {1, 5, 0}}, {pintle_AiRating, "AiRating", {1, 0, 0, 0}},
        {pintle_Set, "Set", {1.5, 50, 0, 0}},
    };
    Lines expected;
    for (const Dzh& d : dzh) {
        const bool stored = d.fn == pintle_Set || d.fn == pintle_AiRating;  // these answer with the stored value
        EXPECT_EQ(CallOnLastBar(d.fn, "SH600000", d.args), stored ? 0.0 : 1.0) << d.name;
        expected.push_back(std::string("助手0未运行,未发出 ") + d.name + " 600000");
    }
    CallOnLastBar(pintle_AiMarketRating, "SH600000", {1, 0, 0, 0});
    CallOnLastBar(pintle_SetGlobal, "SH600000", {1.5, 50, 0, 0});
    expected.insert(expected.end(), {"助手0未运行,未发出 AiMarketRating 市场情绪", "助手0未运行,未发出 SetGlobal 全局"});
    struct Tdx { TdxFunction fn; int number; float a, b, c; const char* code; };
    const Tdx tdx[] = {
        {Tdx1, 1, 600000, 3, 100, "600000"},  {Tdx2, 2, 600000, 3, 100, "600000"},  {Tdx9, 9, 600000, 1, 0, "600000"},
        {Tdx10, 10, 600000, 1, 0, "600000"},  {Tdx11, 11, 600000, 1, 0, "600000"}, {Tdx12, 12, 600000, 1, 0, "600000"},
        {Tdx13, 13, 600000, 1, 0, "600000"},  {Tdx14, 14, 600000, 1, 1, "600000"}, {Tdx18, 18, 600000, 1, 5, "600000"},
        {Tdx19, 19, 600000, 3, 100, "600000"}, {Tdx20, 20, 600000, 3, 100, "600000"},
        {Tdx21, 21, 600000, 3, 100, "600000"}, {Tdx22, 22, 600000, 3, 100, "600000"},
        {Tdx23, 23, 600000, 5, 2.5f, "600000"}, {Tdx24, 24, 600000, 50, 1.5f, "600000"},
        {Tdx26, 26, 0, 50, 1.5f, "全局"},      {Tdx28, 28, 600000, 3, 100, "600000"},
        {Tdx29, 29, 600000, 3, 100, "600000"}, {Tdx45, 45, 600000, 1, 0, "600000"}, {Tdx46, 46, 1, 0, 0, "市场情绪"},
    };
    for (const Tdx& t : tdx) {
        RunTdx(t.fn, t.a, t.b, {t.c});
        expected.push_back("助手0未运行,未发出 TDXDLL1(" + std::to_string(t.number) + " " + t.code);
    }
    // Nothing would have been sent: no line.
    CallOnLastBar(pintle_BUY, "SH600000", {10, 0, 3, 0});          // quantity 0
    CallOnLastBar(pintle_START, "SH600000", {0, 0});               // formula 0
    RunTdx(Tdx1, 600000, 3, {0});                                  // quantity 0
    // Once a minute per assistant, function and code.
    CallOnLastBar(pintle_BUY, "SH600000", {10, 100, 3, 0});
    CallOnLastBar(pintle_BUY, "SZ000001", {10, 100, 3, 0});
    expected.push_back("助手0未运行,未发出 BUY 000001");
    clock_.AdvanceSeconds(60);
    CallOnLastBar(pintle_BUY, "SH600000", {10, 100, 3, 0});
    expected.push_back("助手0未运行,未发出 BUY 600000");
    // An order without a code is not sent at all, and says that instead.
    FormulaBuilder no_code(3, "SH");
    no_code.Arg(10).Arg(100).Arg(3).Arg(0);
    EXPECT_EQ(pintle_SELL(no_code.get()), 0);
    EXPECT_EQ(no_code.result(), (std::vector<double>{-1, -1, -1}));  // left as it was
    pintle_SELL(no_code.get());
    expected.push_back("SELL 股票代码为空,未发出");

    Lines lines;
    for (const std::string& line : Log()) {
        if (line.rfind("不能连接编号为", 0) != 0) lines.push_back(line);
    }
    EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace pintle::test
