// The assistant's state as formulas and outside programs read it: the real
// DLL in a stand-in terminal (and the static library on two threads), against
// a stand-in assistant that publishes the known tables below.
#include <gtest/gtest.h>

#include <ctime>
#include <thread>

#include "formats/command_record.h"
#include "plugin/exports.h"
#include "support/formula_calls.h"
#include "support/e2e_checks.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

const int64_t kOrderTime = std::time(nullptr) - 1000;

// Refresh receiver slot 0 serves assistant 0, slot 1 assistant 2.
const std::string kTables =
    "account 0 1000.5\naccount 1 1001.5\naccount 2 1002.5\naccount 3 1003.5\n"
    "account 5 1005.5\naccount 6 1006.5\naccount 7 1007.5\naccount 8 1008.5\n"
    "account 0 10.5 index=1\naccount 1 11.5 index=1\naccount 2 12.5 index=1\naccount 3 13.5 index=1\n"
    "position 600000 v0=300 v1=200 v2=2.5 v3=3.5 v4=4.5 v5=5.5 v6=6.5 v7=7.5 v8=8.5 v9=9.5 index=0\n"
    "position 600000 v0=30 v1=20 v2=0.25 index=1\n"
    "position 00700 v0=700 v2=7 index=1\n"
    "position 000001 v2=0 index=0   # not held\n"
    "position 00702 v0=1 v2=1 index=2\n"
    "position 平安 v0=1 v2=1 index=3\n"
    "position 300750 v0=1 index=0 receiver=0\n"
    "position 00701 v0=2 receiver=0\n"
    "position 300751 v0=5 receiver=1\n"
    "order 600000 kind=0 qty=300 filled=100 index=0 filter=2 time=" + std::to_string(kOrderTime) + "\n"
    "order 600000 kind=0 qty=50 index=1\n"
    "order 00700 kind=0 qty=100 filled=40 index=1\n"
    "order 000003 kind=0 qty=100 filled=100\n"
    "order 000002 kind=1 qty=100 filled=150\n";

class StateE2E : public ::testing::Test {
protected:
    KovaltOptions Options(const std::string& tables = kTables) {
        WriteFileBytes(state_, tables);
        return {.number = 0, .refresh_receivers = {0, 2}, .state_path = state_};
    }
    TempDir work_{L"state"};
    std::wstring state_ = work_.File(L"state.txt");
};

struct Case {
    const char* line;
    double last;  // value on the last bar, or the TDX output
};

void ExpectLastValues(const Terminal& terminal, const std::vector<Case>& cases) {
    std::string script;
    for (const Case& c : cases) script += std::string(c.line) + "\n";
    const RunResult run = terminal.RunScript(script);
    ASSERT_EQ(run.calls.size(), cases.size()) << run.out;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ASSERT_FALSE(run.calls[i].values.empty()) << cases[i].line;
        EXPECT_EQ(run.calls[i].values.back(), cases[i].last) << cases[i].line;
    }
}

TEST_F(StateE2E, PositionOrderAndAccountValuesOfBothTerminals) {
    KovaltProcess kovalt(Options(), work_.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    std::vector<Case> cases;
    const double position[] = {300, 200, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5, 0, 0};
    std::vector<std::string> lines;
    for (int sel = 0; sel < 12; ++sel) {
        const int selector = sel < 10 ? sel : (sel == 10 ? 10 : -1);
        lines.push_back("call PosInfo --arg " + std::to_string(selector) + " --arg 10");
        lines.push_back("tdx 3 --a 600000 --b " + std::to_string(selector));
    }
    for (std::size_t i = 0; i < lines.size(); ++i) cases.push_back({lines[i].c_str(), position[i / 2]});
    const Case more[] = {
        // Selector index: none, 0, 1; the 5-character code answers 000700.
        {"call PosInfo --arg 0 --arg 0", 300}, {"call PosInfo --arg 0 --arg 20", 30},
        {"call PosInfo --arg 0 --arg 30", 0}, {"call PosInfo --label SZ000700 --arg 0 --arg 0", 700},
        // Refresh receiver tables: exact codes only, only slots serving assistant 0.
        {"call PosInfo --label SZ300750 --arg 0 --arg 0", 1}, {"call PosInfo --label SZ300750 --arg 0 --arg 10", 1},
        {"call PosInfo --label SZ300750 --arg 0 --arg 20", 0}, {"call PosInfo --label SZ000701 --arg 0 --arg 0", 0},
        {"call PosInfo --label SZ00701 --arg 0 --arg 0", 2}, {"call PosInfo --label SZ300751 --arg 0 --arg 0", 0},
        {"tdx 7 --a 0 --b -1", 1}, {"tdx 3 --a 300750 --b 0", 0},  // s = -2 is tested in a receiver table
        {"tdx 7 --a 0 --b 0", 1}, {"tdx 3 --a 300750 --b 0", 1},
        // Orders of stored kind 0: outstanding by selector index and filter value.
        {"call OrderInfo --arg 0 --arg 0 --arg 0", 250}, {"call OrderInfo --arg 0 --arg 0 --arg 10", 200},
        {"call OrderInfo --arg 0 --arg 0 --arg 20", 50}, {"call OrderInfo --arg 0 --arg 0 --arg 0 --arg 2", 200},
        {"call OrderInfo --arg 0 --arg 0 --arg 0 --arg 1", 0}, {"call OrderInfo --arg 1 --arg 0 --arg 0", 0},
        {"call OrderInfo --label SZ000700 --arg 0 --arg 0 --arg 0", 60},
        {"call OrderInfo --label SZ000002 --arg 1 --arg 0 --arg 0", -50},
        {"call OrderInfo --arg 0 --arg 1 --arg 20", 0},  // order time 0: no age
        {"tdx 4 --a 600000 --b 0 --c 0", 250},
        // Account: whole, per index, s >= 10 (whole figures, count for s).
        {"call AccountInfo --arg 0 --arg 0", 1000.5}, {"call AccountInfo --arg 2 --arg 0", 1002.5},
        {"call AccountInfo --arg 3 --arg 0", 1003.5}, {"call AccountInfo --arg 4 --arg 0", 5},
        {"call AccountInfo --arg 8 --arg 0", 1008.5}, {"call AccountInfo --arg 9 --arg 0", 0},
        {"call AccountInfo --arg 2 --arg 20", 12.5}, {"call AccountInfo --arg 3 --arg 20", 13.5},
        {"call AccountInfo --arg 4 --arg 20", 2}, {"call AccountInfo --arg 5 --arg 10", 0},
        {"call AccountInfo --arg 0 --arg 120", 1000.5}, {"call AccountInfo --arg 4 --arg 120", 0},
        {"tdx 7 --a 0 --b 2", 1}, {"tdx 5 --a 1", 11.5}, {"tdx 7 --a 0 --b 0", 1}, {"tdx 5 --a 1", 1001.5},
    };
    cases.insert(cases.end(), std::begin(more), std::end(more));
    ExpectLastValues(terminal, cases);

    // Every bar: PosInfo above 0.2 (0.2 itself reads as 0.200000003),
    // AccountInfo at exactly 1.0; the age of the latest order by the clock.
    const RunResult run = terminal.RunScript(
        "call PosInfo --arg 0 --arg 0 --arg 0.5\ncall AccountInfo --arg 0 --arg 0 --arg 0.5\n"
        "call AccountInfo --arg 0 --arg 0 --arg 1\ncall OrderInfo --arg 0 --arg 1 --arg 0\n"
        "call PosInfo --arg 0 --arg 0 --arg 0.2\ncall PosInfo --arg 0 --arg 0 --arg 0.19\n");
    ASSERT_EQ(run.calls.size(), 6u) << run.out;
    EXPECT_EQ(run.calls[0].values, (std::vector<double>{300, 300, 300}));
    EXPECT_EQ(run.calls[1].values, (std::vector<double>{0, 0, 1000.5}));
    EXPECT_EQ(run.calls[2].values, (std::vector<double>{1000.5, 1000.5, 1000.5}));
    EXPECT_GE(run.calls[3].values.back(), 1000);
    EXPECT_LE(run.calls[3].values.back(), 1000 + 120);
    EXPECT_EQ(run.calls[4].values, (std::vector<double>{300, 300, 300}));
    EXPECT_EQ(run.calls[5].values, (std::vector<double>{0, 0, 300}));
}

TEST_F(StateE2E, CancelEnableDisableAndMessagesSendTheirRecords) {
    KovaltProcess kovalt(Options(), work_.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "call CancelOrder --arg 1 --arg 10 --arg 2\n"          // 200 outstanding: sent
        "call CancelOrder --label SZ000003 --arg 1 --arg 0\n"  // all filled: nothing
        "call _CancelOrder --label SZ000002 --arg 2 --arg 0\n"  // -50: nothing
        "call ENABLE --arg 4 --arg 20\ncall _Disable --arg 5 --arg 0\n"
        "call SENDMESSAGES --arg 6 --arg 31 --arg 0\n"
        "tdx 7 --a 0 --b 0\n"
        "tdx 6 --a 2 --b 2 --c 1\n"         // -50: sent, quantity 1 kept
        "tdx 6 --a 3 --b 1 --c 5\n"         // 0: nothing
        "tdx 6 --a 600000 --b 1 --c 0\n"   // 250: sent
        "tdx 6 --a 3 --b -2147483648 --c 5\n");  // kind 2147483647 as the line's %d shows it: nothing
    const Values sent{0, 0, 1}, none{-1, -1, -1};
    EXPECT_EQ(ValuesOf(run), (std::vector<Values>{sent, none, none, sent, sent, sent, {1}, {1}, {1}, {1}, {1}}))
        << run.out;

    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(3),
                          {"sub=0 qty=10 formula=1 sel=0 price=1 unit=2 code=600000",
                           "sub=1 qty=20 formula=4 sel=1 price=4 unit=0 code=600000",
                           "sub=2 qty=0 formula=5 sel=-1 price=5 unit=0 code=600000",
                           "sub=0 qty=1 formula=2 sel=-1 price=0 unit=0 code=000002",
                           "sub=0 qty=0 formula=1 sel=-1 price=0 unit=0 code=600000"}));
    // The price is the last close.
    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(11), {"formula=6 sel=2 price=10"}));
    EXPECT_TRUE(LogHas(terminal.LogMessages(),
                       {"DLL6 000002  -50.00 (1)[2]", "DLL6 000003  0.00 (0)[1]", "DLL6 600000  250.00 (0)[1]",
                        "DLL6 000003  0.00 (2147483647)[-2147483648]"}));
}

TEST_F(StateE2E, CInterfaceTextsBuffersFlagsAndTheAssistantItChooses) {
    KovaltProcess kovalt(Options(), work_.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    const RunResult run = terminal.RunScript(
        "capi GetAllPositionCode 0\ncapi GetAllPositionCode 10\ncapi GetAllPositionCode 30\n"
        "capi GetAllPositionCodeA 6 10\ncapi GetAllPositionCodeA 7 10\ncapi GetAllPositionCodeA 6 40\n"
        "capi GetAllPositionCodeA 0 0\ncapi GetAllPositionCodeA -1 0\ncapi GetAllPositionCodeA 8 0 null\n"
        "capi GetAllOrderCode 0 1\ncapi GetAllOrderCode 10 1\ncapi GetAllOrderCode 0 2\n"
        "capi GetPosInfo 000700 0 0\ncapi GetPosInfo SH600000 0 0\ncapi GetPosInfo null 0 0\n"
        "capi GetAccountInfo 3 20\n"
        "call BUY --arg 10 --arg 100 --arg 3 --arg 0\n"  // carries the query-API flag now
        "tdx 1 --a 600000 --b 3 --c 100\n"                // TDX never does
        "capi GetPosInfo 600000 0 1\n"                    // assistant 1 is current now...
        "tdx 1 --a 600000 --b 3 --c 100\n"                // ...for TDX orders too
        "capi GetAccountInfo 0 0\ntdx 1 --a 600000 --b 3 --c 100\n");
    Lines capi;
    for (std::size_t at = 0, end; (at = run.out.find("capi ", at)) != std::string::npos; at = end) {
        end = run.out.find("\r\n", at);
        capi.push_back(run.out.substr(at, end - at));
    }
    EXPECT_EQ(capi, (Lines{
                        "capi GetAllPositionCode -> 600000,600000,00700,00702,平安", "capi GetAllPositionCode -> 600000",
                        "capi GetAllPositionCode -> 00702,", "capi GetAllPositionCodeA -> 363030303030eeeeeeee",
                        "capi GetAllPositionCodeA -> 36303030303000eeeeeeee",
                        "capi GetAllPositionCodeA -> c6bdb0b200eeeeeeeeee", "capi GetAllPositionCodeA -> eeeeeeee",
                        "capi GetAllPositionCodeA -> eeeeeeee", "capi GetAllPositionCodeA -> eeeeeeeeeeeeeeeeeeeeeeee",
                        "capi GetAllOrderCode -> 600000,600000,00700,000003", "capi GetAllOrderCode -> 600000,000003",
                        "capi GetAllOrderCode -> 000002", "capi GetPosInfo -> 700", "capi GetPosInfo -> 0",
                        "capi GetPosInfo -> 0", "capi GetAccountInfo -> 13.5", "capi GetPosInfo -> 0",
                        "capi GetAccountInfo -> 1000.5"}));
    // The middle TDX order went to assistant 1.
    EXPECT_TRUE(FieldsAre(kovalt.MessagesOfKind(1), {"api=1", "api=0", "api=0"})) << run.out;

    // The refresh request of a lookup carries its code, and the extended
    // flag for position values above 5.
    for (const wchar_t* selector : {L"6", L"5"}) terminal.Run({L"call", L"PosInfo", L"--arg", selector, L"--arg", L"0"});
    const auto refresh = kovalt.MessagesOfKind(2);
    ASSERT_GE(refresh.size(), 2u);
    EXPECT_TRUE(FieldsAre({refresh.end() - 2, refresh.end()}, {"sub=1", "sub=0 code=600000"}));
}

TEST_F(StateE2E, HostileCountsReadOnlyTheTables) {
    KovaltProcess kovalt(Options(kTables + "count positions 2147483647\ncount orders 2147483647\n"
                                           "count receiver0 2147483647\n"),
                         work_.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    ExpectLastValues(terminal, {{"call AccountInfo --arg 4 --arg 0", 5}, {"call PosInfo --label SZ300750 --arg 0 --arg 0", 1},
                                {"call OrderInfo --arg 0 --arg 0 --arg 0", 250}});
    const RunResult run = terminal.RunScript("capi GetAllPositionCode 0\ncapi GetAllOrderCode 0 1\n");
    EXPECT_NE(run.out.find("-> 600000,600000,00700,00702,平安\r\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("-> 600000,600000,00700,000003" + std::string(38, ',') + "\r\n"), std::string::npos);

    WriteFileBytes(state_, kTables + "count positions -2147483648\ncount orders -1\ncount receiver0 -5\n");
    kovalt.SendControl(kKovaltReloadState, 0);
    ExpectLastValues(terminal, {{"call AccountInfo --arg 4 --arg 0", 0}, {"call PosInfo --label SZ300750 --arg 0 --arg 0", 0},
                                {"call OrderInfo --arg 0 --arg 0 --arg 0", 0}});
}

// Another program's thread asks for assistant 1 while formulas ask for
// assistant 0: each must always get its own assistant's values.
TEST_F(StateE2E, CInterfaceFromASecondThreadWhileFormulasRun) {
    KovaltProcess zero(Options("position 600000 v0=300 v2=1\n"), work_.path());
    TempDir other(L"state1");
    WriteFileBytes(other.File(L"state.txt"), "position 600000 v0=111 v2=1\nposition 000001 v2=1\n");
    KovaltProcess one({.number = 1, .state_path = other.File(L"state.txt")}, other.path());
    ASSERT_TRUE(zero.Started() && one.Started());
    PluginSandbox sandbox(work_.path());
    int formula_misses = 0, program_misses = 0;
    std::thread program([&] {
        for (int i = 0; i < 150; ++i) {
            program_misses += pintle_GetPosInfo(L"600000", 0, 1) != 111.0f;
            program_misses += std::wstring(pintle_GetAllPositionCode(1)) != L"600000,000001";
        }
    });
    for (int i = 0; i < 150; ++i) formula_misses += CallOnLastBar(pintle_PosInfo, "SH600000", {0, 0}, 2) != 300.0;
    program.join();
    EXPECT_EQ(formula_misses, 0);
    EXPECT_EQ(program_misses, 0);
}

TEST_F(StateE2E, ExampleProgramBuiltOnTheImportLibraryRunsWhileFormulasRun) {
    KovaltProcess kovalt(Options(), work_.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    std::string formulas;
    for (int i = 0; i < 100; ++i) formulas += "call PosInfo --arg 0 --arg 10\ncall BUY --arg 10 --arg 100 --arg 3 --arg 0\n";
    RunResult formula_run;
    std::thread running([&] { formula_run = terminal.RunScript(formulas); });
    TempDir program_dir(L"example");
    ASSERT_TRUE(CopyFileW(BuildFile(L"Pintle.dll").c_str(), program_dir.File(L"Pintle.dll").c_str(), FALSE));
    const std::wstring exe = program_dir.File(L"assistant_state.exe");
    ASSERT_TRUE(CopyFileW(BuildFile(L"pintle-example.exe").c_str(), exe.c_str(), FALSE));
    const RunResult example = RunProcess(exe, L"20 600000 1", program_dir.path());
    running.join();
    EXPECT_EQ(example.out,
              "held: 600000,00700\r\nheld (ANSI): 600000,00700\r\norders: 600000,00700\r\n"
              "position 600000 value 0: 30\r\nposition 600000 value 1: 20\r\nposition 600000 value 2: 0.25\r\n"
              "position 600000 value 3: 0\r\nposition 600000 value 4: 0\r\nposition 600000 value 5: 0\r\n"
              "position 600000 value 6: 0\r\nposition 600000 value 7: 0\r\nposition 600000 value 8: 0\r\n"
              "position 600000 value 9: 0\r\naccount figure 0: 10.5\r\naccount figure 1: 11.5\r\n"
              "account figure 2: 12.5\r\naccount figure 3: 13.5\r\naccount figure 4: 2\r\n"
              "account figure 5: 0\r\naccount figure 6: 0\r\naccount figure 7: 0\r\naccount figure 8: 0\r\n");
    ASSERT_EQ(formula_run.calls.size(), 200u);
    for (std::size_t i = 0; i < 200; i += 2) EXPECT_EQ(formula_run.calls[i].values.back(), 300.0) << i;
    EXPECT_EQ(kovalt.CommandsOfKind(1).size(), 100u);
}

}  // namespace
}  // namespace pintle::test
