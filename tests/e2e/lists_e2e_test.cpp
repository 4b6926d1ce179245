// Screening results through the real DLL in a stand-in terminal, with the
// stand-in assistant writing its results beside itself.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/kovalt_process.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

TEST(ListsE2e, ScreeningResultsOfTheAssistantAndTheMissingFileNotice) {
    TempDir work(L"screening-e2e");
    KovaltProcess kovalt({.number = 0,
                          .exe_dir = work.path(),
                          .screening = {L"WenCai:3:600000,000001", L"HotStocks:3:000001", L"AI:3:"}},
                         work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call WenCai --label SH600000 --arg 3 --arg 1\n"
        "call WENCAI --label sz000001 --arg 3 --arg 0\n"
        "call _Hot --label SH600000 --arg 3 --arg 0\n"
        "call HOT --label SZ000001 --arg 3 --arg 0.5\n"
        "call AI --label SH600000 --arg 3 --arg 1\n"
        "tdx 35 --count 3 --a 600000 --b 3\n"
        "tdx 43 --a 600000 --b 3\n"
        "tdx 35 --count 0 --a 600000 --b 3\n"
        "call _WenCai --label SH600000 --arg 4 --arg 0\n"
        "call WenCai --label SH600000 --arg 5 --arg 0\n");
    ASSERT_EQ(run.calls.size(), 10u) << run.out;
    const std::vector<double> expected[] = {{1, 1, 1}, {0, 0, 1}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0},
                          {1, 1, 1}, {0},       {},        {0, 0, 0}, {0, 0, 0}};
    for (std::size_t i = 0; i < run.calls.size(); ++i) EXPECT_EQ(run.calls[i].values, expected[i]) << i;

    // A control message posted after the terminal ended is journalled after
    // every notice the plug-in posted.
    PostMessageW(kovalt.MainWindow(), kKovaltRepublish, 0, 0);
    std::vector<std::string> notices;
    for (int i = 0; i < 2000; ++i) {  // at most 20 s
        const auto messages = kovalt.Messages();
        if (messages.empty() || messages.back().Get("msg") != "other") {
            Sleep(10);
            continue;
        }
        for (const auto& m : messages) {
            if (m.Get("msg") == "notice") notices.push_back(m.Get("wparam") + "/" + m.Get("lparam"));
        }
        break;
    }
    EXPECT_EQ(notices, std::vector<std::string>{"4/10000"});
}

}  // namespace
}  // namespace pintle::test
