// The assistant going wrong under a running terminal: killed in the middle
// of a run of formula calls and started again, and hung (its window
// procedure does not return). The terminal is this process, calling the
// exports as the DLL's would be called.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>

#include "assistant/delivery.h"
#include "common/clock.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "stress/bounded.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"
#include "support/formula_calls.h"

namespace pintle::test {
namespace {

constexpr int kAssistant = 5;

double PosInfo() { return CallOnLastBar(pintle_PosInfo, "SH600000", {0, kAssistant}, 2); }
void Buy(double formula) { CallOnLastBar(pintle_BUY, "SH600000", {10, 100, formula, kAssistant}, 2); }

void Kill(KovaltProcess& kovalt) {
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, kovalt.ProcessId()));
    ASSERT_TRUE(process);
    ASSERT_TRUE(TerminateProcess(process.get(), 9));
    ASSERT_TRUE(kovalt.WaitForExit(10000));
}

std::vector<int32_t> FormulasOfOrders(const KovaltProcess& kovalt) {
    std::vector<int32_t> formulas;
    for (const CommandRecord& r : kovalt.CommandsOfKind(kKindOrder)) formulas.push_back(r.formula);
    return formulas;
}

TEST(AssistantFaults, KilledInARunOfCallsAndStartedAgainTheNextCallReconnects) {
    TempDir work(L"killed"), home(L"killed-kovalt");
    const std::wstring state = work.File(L"state.txt");
    WriteFileBytes(state, "position 600000 v0=300 v2=1\n");
    const KovaltOptions options{.number = kAssistant, .exe_dir = home.path(), .state_path = state};
    auto first = std::make_unique<KovaltProcess>(options, work.path());
    ASSERT_TRUE(first->Started());
    PluginSandbox sandbox(work.path());
    ManualClock clock;
    ScopedClock installed(clock);

    RunBounded(1, std::chrono::seconds(120), [&](int) {
        for (int i = 0; i < 20; ++i) {
            if (i == 10) Kill(*first);
            const double held = PosInfo();
            Buy(i < 10 ? 1 : 2);
            // The call right after the death may still read the last block
            // (the poll looks again every 3 s); from the first order on that
            // found no window, nothing is mapped.
            if (i != 10) {
                EXPECT_EQ(held, i < 10 ? 300.0 : 0.0) << "call " << i;
            }
            clock.AdvanceMs(1000);
        }
    });
    EXPECT_EQ(FormulasOfOrders(*first), std::vector<int32_t>(10, 1));
    // The dead assistant's block is let go: no process holds its mapping.
    {
        UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, KovaltMappingName(kAssistant).c_str()));
        EXPECT_FALSE(mapping);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    first.reset();

    WriteFileBytes(state, "position 600000 v0=400 v2=1\n");
    KovaltProcess second(options, work.path());
    ASSERT_TRUE(second.Started());
    Buy(3);
    EXPECT_EQ(FormulasOfOrders(second), std::vector<int32_t>{3});
    clock.AdvanceMs(3000);
    EXPECT_EQ(PosInfo(), 400.0);
    EXPECT_EQ(second.Output().find("already existed"), std::string::npos) << second.Output();
}

TEST(AssistantFaults, AHungAssistantHoldsNoCallLongerThanTheSendTimeOuts) {
    TempDir work(L"hung"), home(L"hung-kovalt");
    KovaltProcess kovalt({.number = kAssistant, .hang_main_ms = 600000, .exe_dir = home.path()}, work.path());
    ASSERT_TRUE(kovalt.Started());
    PluginSandbox sandbox(work.path());
    // A call sends at most two messages to the main window (the refresh
    // request of the poll and the command), each given up after the time-out.
    constexpr ULONGLONG kBoundMs = 2 * kSendTimeoutMs + 2000;
    struct Call {
        const char* what;
        std::function<void()> run;
    };
    const Call calls[] = {
        {"BUY", [] { Buy(1); }},
        {"PosInfo", [] { PosInfo(); }},
        {"TDX 1", [] { RunTdx(Tdx1, 600000, 3, {100}); }},
        {"BUY again", [] { Buy(2); }},
    };
    RunBounded(1, std::chrono::seconds(200), [&](int) {
        for (const Call& call : calls) {
            const ULONGLONG start = GetTickCount64();
            call.run();
            const ULONGLONG took = GetTickCount64() - start;
            EXPECT_LE(took, kBoundMs) << call.what;
            std::printf("%s returned after %llu ms\n", call.what, took);
        }
    });
    // The orders that could not go out are in the log, with the time-out.
    const Lines log = PluginLogLines();
    EXPECT_TRUE(Contains(log, "无法连接自动交易软件下单,请以管理员权限运行大智慧或通达信试试.错误码(1460)"))
        << testing::PrintToString(log);
    Kill(kovalt);  // it would not answer the quit event before the hang ends
}

}  // namespace
}  // namespace pintle::test
