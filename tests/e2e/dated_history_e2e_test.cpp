// TDX 34 against the stand-in assistant's store and the stand-in finance
// site: market-wide slots under 全局 carried forward, prices adjusted with
// the share-bonus page of the code; and 30-34 through the real DLL.
#include <gtest/gtest.h>

#include "assistant/assistant.h"
#include "assistant/assistant_state.h"
#include "common/clock.h"
#include "plugin/tdx_numbered.h"
#include "support/bonus_server.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"
#include "support/formula_calls.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

class DatedHistoryAssistant : public SandboxTest {};

TEST_F(DatedHistoryAssistant, ReadsTheAssistantsSeriesAdjustedForDividends) {
    TempDir home{L"dated-e2e-kovalt"};
    BonusServer site(L"files", dir_.path());
    ASSERT_TRUE(site.Started());
    const std::wstring host = site.Host();
    UseSettings("ShareBonusHost=" + std::string(host.begin(), host.end()) + "\r\n");
    // Day entries at 15:00 local: 2019-01-02, 2020-05-26, 2026-03-02 and 2026-03-04.
    KovaltProcess kovalt(KovaltOptions{.exe_dir = home.path(),
                                       .store = {L"600000 0 0 86 8 10 1546412400", L"600000 0 0 86 8 11 1590476400",
                                                 L"600000 0 0 86 8 12 1772607600", L"全局 0 0 90 8 7 1772434800",
                                                 L"全局 0 0 90 8 8 1772607600", L"600000 0 0 92 8 7 1772434800",
                                                 L"600000 0 0 92 8 8 1772607600", L"全局 0 0 20000 8 6 1772674200"}},
                         dir_.path());
    ASSERT_TRUE(kovalt.Started());
    SwitchAssistant(0);

    const std::vector<float> days = {1260302, 1260303, 1260304, 1260305};
    struct Case { float code, slot; std::vector<float> dates; const char* out; };
    for (const Case& c : std::vector<Case>{
             // The records of 2019-07-16 to 2024-07-04 come after the first entry, of 2020-05-27 on after the second.
             {5600000, 86, {1190102, 1200526, 1260304, 1260305}, "2.50819349 3.7565093 12 qnan"},
             {5600000, 90, days, "7 qnan 8 8"},    // 全局, carried from the third bar on
             {5600000, 92, days, "7 qnan 8 qnan"},
             {0, 20000, {1260305}, "6"}}) {        // 000000 reads 全局
        EXPECT_EQ(CallTdx(Tdx34, c.code, c.slot, c.dates), c.out) << c.slot;
    }
    Assistant().quote_push = true;  // the assistant's prices are live: shown as stored
    EXPECT_EQ(CallTdx(Tdx34, 5600000, 86, {1190102, 1200526, 1260304, 1260305}), "10 11 12 qnan");

    const std::string journal = site.Journal();
    EXPECT_EQ(journal.rfind("GET /corp/go.php/vISSUE_ShareBonus/stockid/600000.phtml "), 0u) << journal;
    EXPECT_EQ(journal.find("GET ", 1), std::string::npos) << journal;
}

TEST(DatedHistoryInTheTerminal, WrittenAndReadBackThroughTheDll) {
    const RunResult run = Terminal().RunScript(
        "tdx 31 --a 600000 --b 10001 --c 1030\ntdx 30 --a 600000 --b 10001 --c 1240315\n"
        "tdx 31 --a 600000 --b 10001 --c 1030\ntdx 32 --a 600000 --b 10001 --c 2.5\n"
        "tdx 33 --a 600000 --b 10001 --c 1029,1030,1031\ntdx 34 --count 3 --a 600000 --b 10001 --c 1240315\n");
    std::vector<std::string> outs;
    for (std::size_t at = 0; (at = run.out.find("\nout ", at)) != std::string::npos; ++at)
        outs.push_back(run.out.substr(at + 5, run.out.find_first_of("\r\n", at + 1) - at - 5));
    EXPECT_EQ(outs, (std::vector<std::string>{"-1", "1", "1", "1", "1029 1030 1031", "nan 2.5 nan"})) << run.out;
}

// The figures a script printed after "ticks ".
std::vector<unsigned long long> TicksOf(const std::string& out) {
    std::vector<unsigned long long> ticks;
    for (std::size_t at = 0; (at = out.find("ticks ", at)) != std::string::npos; at += 6)
        ticks.push_back(std::stoull(out.substr(at + 6)));
    return ticks;
}

TEST(DatedHistoryInTheTerminal, ASiteThatTricklesItsHeadHoldsTdx34NoLongerThanTheFetchDeadline) {
    TempDir home{L"dated-e2e-trickle"};
    BonusServer site(L"trickle-head", home.path());
    ASSERT_TRUE(site.Started());
    KovaltProcess kovalt(KovaltOptions{.exe_dir = home.path(),
                                       .store = {L"600000 0 0 86 8 10 1546412400", L"600000 0 0 86 8 11 1590476400"}},
                         home.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const std::wstring host = site.Host();
    ASSERT_TRUE(WriteFileBytes(terminal.File(L"Pintle.ini"),
                               "[Settings]\r\nShareBonusHost=" + std::string(host.begin(), host.end()) + "\r\n"));

    const RunResult run = terminal.RunScript(
        "ticks\ntdx 34 --count 2 --a 5600000 --b 86 --c 1190102,1200526\nticks\nunload\nticks\n");
    ASSERT_EQ(run.exit_code, 0u) << run.out;
    ASSERT_EQ(run.calls.size(), 1u) << run.out;
    EXPECT_EQ(run.calls[0].values, (std::vector<double>{10, 11}));  // no records: as stored
    const std::vector<unsigned long long> ticks = TicksOf(run.out);
    ASSERT_EQ(ticks.size(), 3u) << run.out;
    EXPECT_LE(ticks[1] - ticks[0], 10500u);  // the call
    EXPECT_LE(ticks[2] - ticks[1], 1000u);   // the unload
    EXPECT_NE(run.out.find("\nunloaded"), std::string::npos) << run.out;
    // The site saw its connection end within 2 s of the deadline.
    const std::string journal = site.Journal();
    const std::size_t closed = journal.find("closed at tick ");
    ASSERT_NE(closed, std::string::npos) << journal;
    EXPECT_LE(std::stoull(journal.substr(closed + 15)), ticks[0] + 12000) << journal;

    const Lines log = terminal.LogMessages();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "网页 10 秒内未收完，整页丢弃: http://" + std::string(host.begin(), host.end()) +
                                       "/corp/go.php/vISSUE_ShareBonus/stockid/600000.phtml");
    EXPECT_EQ(log.back().rfind("~Pintle.dll Version(", 0), 0u) << log.back();
}

}  // namespace
}  // namespace pintle::test
