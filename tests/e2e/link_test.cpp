// The assistant link inside this process (the plug-in's static library)
// against real stand-in assistant processes, with the clock moved by hand.
#include <gtest/gtest.h>

#include "assistant/assistant_state.h"
#include "assistant/assistant.h"
#include "common/clock.h"
#include "common/paths.h"
#include "plugin/exports.h"
#include "support/e2e_checks.h"
#include "support/formula_builder.h"
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
}

TEST_F(LinkTest, NoticesArePostedAtMostOncePer3Seconds) {
    KovaltProcess kovalt({.number = 2}, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    SwitchAssistant(2);
    PostAssistantNotice(5, 0, nullptr);
    PostAssistantNotice(6, 0, L"dropped whole");
    clock_.AdvanceSeconds(3);
    PostAssistantNotice(7, 9, nullptr);
    ASSERT_TRUE(kovalt.WaitForJournalLines(2));
    EXPECT_TRUE(FieldsAre(Where(kovalt.Messages(), "msg", "notice"), {"wparam=5 lparam=2", "wparam=7 lparam=9"}));
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
    EXPECT_EQ(Assistant().directory, L"");  // found again only when next needed
    RefreshAssistantDirectory();
    EXPECT_EQ(Assistant().directory, std::wstring(PINTLE_BUILD_DIR_WIN) + L"\\");
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
    EXPECT_EQ(SendValueCommand("600000", 12, 3, 2.5f), 1);
    EXPECT_EQ(SendValueCommand(std::string(200, '9'), 80, 0, 1.0f), 1);  // cut at its field
    const CommandRecord want{.id = 1001, .sub_kind = 12, .code = "600000", .price = 2.5f, .formula = 3, .assistant = 6};
    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(3), {"bytes=" + Hex(want), "code=" + std::string(127, '9')}));
}

}  // namespace
}  // namespace pintle::test
