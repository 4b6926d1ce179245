// Screening results through the real DLL in a stand-in terminal, with the
// stand-in assistant writing its results beside itself.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/e2e_checks.h"

namespace pintle::test {
namespace {

TEST(ListsE2e, ScreeningResultsOfTheAssistantAndTheMissingFileNotice) {
    TempDir work(L"screening-e2e");
    KovaltProcess kovalt({.number = 0,
                          .exe_dir = work.path(),
                          .screening = {L"WenCai:3:600000,000001", L"HotStocks:3:000001", L"AI:3:", L"AI:4:600000"}},
                         work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    // Argument 2 is the assistant and the every-bar switch at once: 10 is
    // assistant 0 on every bar, 1 is assistant 1, which does not run.
    const RunResult run = terminal.RunScript(
        "call WenCai --label SH600000 --arg 3 --arg 10\n"
        "call WENCAI --label sz000001 --arg 3 --arg 0\n"
        "call _Hot --label SH600000 --arg 3 --arg 0\n"
        "call HOT --label SZ000001 --arg 3 --arg 0.5\n"
        "call AI --label SH600000 --arg 3 --arg 10\n"
        "tdx 35 --count 3 --a 600000 --b 3\n"
        "tdx 43 --a 600000 --b 3\n"
        "tdx 35 --count 0 --a 600000 --b 3\n"
        "call _WenCai --label SH600000 --arg 4 --arg 0\n"
        "call WenCai --label SH600000 --arg 5 --arg 0\n"
        "call WenCai --label SH600000 --arg 3 --arg 1\n"
        // 0.2 reads as 0.200000003: above 0.2, every bar, assistant 0.
        "call WenCai --label SH600000 --arg 3 --arg 0.2\n"
        "call Hot --label SZ000001 --arg 3 --arg 0.2\n"
        "call Ai --label SH600000 --arg 4 --arg 0.2\n");
    EXPECT_EQ(ValuesOf(run), (std::vector<Values>{{1, 1, 1}, {0, 0, 1}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 1, 1},
                                                  {0}, {}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {1, 1, 1},
                                                  {1, 1, 1}}))
        << run.out;
    EXPECT_TRUE(LogHas(terminal.LogMessages(), {"助手1未运行,问财查询 3 无结果"}));

    // A control message posted after the terminal ended is journalled after
    // every notice the plug-in posted.
    PostMessageW(kovalt.MainWindow(), kKovaltRepublish, 0, 0);
    std::vector<JournalEntry> messages;
    for (int i = 0; i < 2000; ++i) {  // at most 20 s
        messages = kovalt.Messages();
        if (!messages.empty() && messages.back().Get("msg") == "other") break;
        Sleep(10);
    }
    ASSERT_EQ(messages.empty() ? "" : messages.back().Get("msg"), "other");
    EXPECT_TRUE(FieldsAre(Where(messages, "msg", "notice"), {"wparam=4 lparam=10000"}));
}

}  // namespace
}  // namespace pintle::test
