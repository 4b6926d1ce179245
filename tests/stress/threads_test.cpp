// Eight terminal threads at once through the DZH exports and the TDX table
// (orders, positions, stored values, screening results, block lists, the
// log), while the stand-in assistant republishes its block all the time:
// no deadlock, no crash, every answer right, and every record the assistant
// journals whole and from the call that sent it.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "formats/command_record.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "store/store.h"
#include "stress/bounded.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"
#include "support/formula_calls.h"

namespace pintle::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 150;  // each round: every operation below once

std::string Code(int t) { return "60000" + std::to_string(t); }

// One thread's calls; counts what it sent and what came back wrong.
struct Worker {
    int t;
    int orders = 0;
    std::vector<std::string> wrong;

    void Expect(bool ok, const std::string& what, int round) {
        if (!ok) wrong.push_back(what + " round " + std::to_string(round));
    }

    double Dzh(pintle_FormulaFn fn, std::initializer_list<double> args) {
        return CallOnLastBar(fn, ("SH" + Code(t)).c_str(), args);
    }
    static float Tdx(TdxFunction fn, float a, float b, float c) { return RunTdx(fn, a, b, {c, c}).back(); }

    void Run() {
        const float code = static_cast<float>(600000 + t);
        for (int i = 0; i < kRounds; ++i) {
            const double value = t * 1000 + i;
            // Orders: formula t + 1 from DZH, t + 11 from TDX.
            Expect(Dzh(pintle_BUY, {10.0 + t, 100, t + 1.0, 0}) == 1.0, "BUY", i);
            Expect(Tdx(Tdx1, code, t + 11.0f, 200) == 1.0f, "TDX 1", i);
            orders += 2;
            Expect(Dzh(pintle_PosInfo, {0, 0}) == 300.0 + t, "PosInfo", i);
            Expect(Tdx(Tdx3, code, 0, 0) == 300.0f + t, "TDX 3", i);
            Expect(Dzh(pintle_Set, {value, 100.0 + t, static_cast<double>(i), 0}) == 1.0, "Set", i);
            Expect(Dzh(pintle_Get, {100.0 + t, static_cast<double>(i), 0, 0}) == value, "Get", i);
            Expect(Tdx(Tdx24, code, 200.0f + t, static_cast<float>(value)) == 1.0f, "TDX 24", i);
            Expect(Tdx(Tdx25, code, 200.0f + t, 0) == static_cast<float>(value), "TDX 25", i);
            Expect(Dzh(pintle_WenCai, {3, 0}) == (t % 2 == 0 ? 1.0 : 0.0), "WenCai", i);
            Expect(Tdx(Tdx35, code, 3, 0) == (t % 2 == 0 ? 1.0f : 0.0f), "TDX 35", i);
            Expect(Dzh(pintle_Log, {value}) == 1.0, "Log", i);
            // Each thread its own block: its codes go in once each, in order.
            Expect(Tdx(Tdx36, static_cast<float>(t * 1000 + i), 1, 10.0f + t) == 1.0f, "TDX 36", i);
            Expect(Tdx(Tdx38, 10.0f + t, 0, 0) == i + 1.0f, "TDX 38", i);
        }
    }
};

TEST(Stress, EightThreadsOfExportsAndTdxFunctionsWhileTheAssistantRepublishes) {
    TempDir work(L"stress-threads"), home(L"stress-kovalt");
    std::string state;
    for (int t = 0; t < kThreads; ++t) state += "position " + Code(t) + " v0=" + std::to_string(300 + t) + " v2=1\n";
    WriteFileBytes(work.File(L"state.txt"), state);
    KovaltProcess kovalt({.number = 0, .exe_dir = home.path(), .screening = {L"WenCai:3:600000,600002,600004,600006"},
                          .state_path = work.File(L"state.txt")},
                         work.path());
    ASSERT_TRUE(kovalt.Started());
    PluginSandbox sandbox(work.path());
    CreateDirectoryW(work.File(L"TradeSelfData").c_str(), nullptr);
    CreateDirectoryW(work.File(L"T0002").c_str(), nullptr);
    CreateDirectoryW(work.File(L"T0002\\blocknew").c_str(), nullptr);
    OpenOwnStore(work.File(L"TradeSelfData\\data.db"), true);

    std::atomic<bool> done{false};
    std::atomic<int> republished{0};
    std::thread republisher([&] {
        while (!done) {
            kovalt.SendControl(kKovaltRepublish, 0);
            ++republished;
            Sleep(1);
        }
    });
    std::vector<Worker> workers;
    for (int t = 0; t < kThreads; ++t) workers.push_back({t});
    RunBounded(kThreads, std::chrono::seconds(240), [&](int t) { workers[t].Run(); });
    done = true;
    republisher.join();
    EXPECT_GT(republished.load(), 0);

    int orders = 0;
    for (const Worker& w : workers) {
        EXPECT_TRUE(w.wrong.empty()) << "thread " << w.t << ": " << w.wrong.size() << " wrong, first "
                                     << (w.wrong.empty() ? "" : w.wrong[0]);
        orders += w.orders;
    }

    // The journal: every line numbered in turn, every payload whole, every
    // order record from one of the calls above.
    const std::vector<std::string> lines = kovalt.JournalLines();
    std::map<int, int> orders_of_formula;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const JournalEntry e = ParseJournalLine(lines[i]);
        ASSERT_EQ(e.Get("seq"), std::to_string(i + 1)) << lines[i];
        if (e.Get("msg") != "copydata") continue;
        ASSERT_TRUE(e.bytes.has_value()) << lines[i];
        ASSERT_EQ(std::to_string(e.bytes->size()), e.Get("len")) << lines[i];
        if (e.Get("kind") != "1") continue;
        const auto r = e.Record();
        ASSERT_TRUE(r.has_value()) << lines[i];
        const int t = (r->formula - 1) % 10;
        ASSERT_TRUE(r->id == kCommandRecordId && t >= 0 && t < kThreads && r->code == Code(t)) << lines[i];
        if (r->formula <= kThreads) {
            EXPECT_EQ(r->price, 10.0f + t) << lines[i];
        }
        ++orders_of_formula[r->formula];
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(orders_of_formula[t + 1], kRounds) << "DZH orders of thread " << t;
        EXPECT_EQ(orders_of_formula[t + 11], kRounds) << "TDX orders of thread " << t;
    }
    EXPECT_EQ(kovalt.CommandsOfKind(kKindOrder).size(), static_cast<std::size_t>(orders));

    // The log: every line whole and each thread's lines all there.
    const Lines log = PluginLogLines();
    const std::multiset<std::string> messages(log.begin(), log.end());
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kRounds; ++i) {
            const std::string line = Code(t) + ":Log=" + std::to_string(t * 1000 + i) + ".000";
            EXPECT_EQ(messages.count(line), 1u) << line;
        }
    }
    // The blocks: each thread's codes, once each, in the order added.
    for (int t = 0; t < kThreads; ++t) {
        std::string expected;
        for (int i = 0; i < kRounds; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "%06d", t * 1000 + i);
            expected += (i ? "\r\n0" : "0") + std::string(code);  // market digit 0: the codes start with 0
        }
        EXPECT_EQ(ReadFileBytes(work.File(L"T0002\\blocknew\\ZXG" + std::to_wstring(10 + t) + L".blk")), expected);
    }
}

}  // namespace
}  // namespace pintle::test
