// Log and MsgBox: the exact texts, the 30-second quiet period shared by both
// boxes, and who holds the call lock while a box is open. The boxes are real
// MessageBoxW windows, answered from the test's thread while the call runs
// on another.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "formula/call_lock.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "support/formula_builder.h"
#include "support/plugin_sandbox.h"
#include "support/formula_calls.h"

namespace pintle::test {
namespace {

// The plug-in's open boxes in this process (ctest runs programs side by side).
std::vector<HWND> OwnBoxes() {
    std::vector<HWND> boxes;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", L"Pintle.dll 提示信息")) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) boxes.push_back(w);
    }
    return boxes;
}

struct Boxes {
    int shown = 0;
    std::wstring first_text;
};

// Runs `call` on another thread and answers every box it shows with
// `button`, running `while_open` before the first answer.
Boxes Answering(const std::function<void()>& call, WPARAM button, const std::function<void()>& while_open = {}) {
    std::atomic<bool> done{false};
    std::thread caller([&] {
        call();
        done = true;
    });
    Boxes boxes;
    while (!done) {
        const auto open = OwnBoxes();
        if (open.empty()) {
            Sleep(1);
            continue;
        }
        if (boxes.shown++ == 0) {
            wchar_t text[256] = {};
            GetDlgItemTextW(open[0], 0xFFFF, text, 256);
            boxes.first_text = text;
            if (while_open) while_open();
        }
        SendMessageW(open[0], WM_COMMAND, button, 0);
        while (IsWindow(open[0])) Sleep(1);
    }
    caller.join();
    return boxes;
}

class Tracing : public SandboxTest {
protected:
    static int32_t MsgBox(const char* label, double value) {
        FormulaBuilder f(3, label);
        f.Arg(value);
        return pintle_MsgBox(f.get());
    }
};

TEST_F(Tracing, LogWritesTheCodeAndTheValue) {
    FormulaBuilder last(3, "SH600000"), early(3, "SH600036");
    last.Arg(2.5);
    early.Arg(7).SetBarByBar(1, 1);  // bar-by-bar, not the last bar: nothing
    EXPECT_EQ(pintle_Log(last.get()), 1);
    EXPECT_EQ(pintle_Log(early.get()), 0);
    EXPECT_EQ(last.result(), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(early.result(), (std::vector<double>{-1, -1, -1}));
    EXPECT_EQ(CallTdx(Tdx16, 600036, 3.14159f, {0}), "1");
    EXPECT_EQ(Log(), (Lines{"600000:Log=2.500", "600036:Log=3.142"}));
}

TEST_F(Tracing, OkSilencesBothBoxesForThirtySecondsCancelDoesNotAndOnlyTheTdxBoxHoldsTheCallLock) {
    bool free_during_msgbox = false, free_during_tdx = true;
    auto probe = [](bool& free) {
        return [&free] {
            free = CallLock().TryEnter();
            if (free) CallLock().Leave();
        };
    };
    FormulaBuilder f(3, "SH600000");
    f.Arg(2.5);
    const Boxes first = Answering([&] { EXPECT_EQ(pintle_MsgBox(f.get()), 1); }, IDCANCEL, probe(free_during_msgbox));
    EXPECT_EQ(first.first_text, L"600000: 2.500 \n点 确定 ,30秒将内不再提示");
    EXPECT_EQ(f.result(), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(Answering([] { MsgBox("SH600000", 1); }, IDOK).shown, 1);  // after Cancel: shown again

    clock_.AdvanceSeconds(10);
    EXPECT_EQ(Answering([] { MsgBox("SH600000", 1); }, IDOK).shown, 0);
    clock_.AdvanceSeconds(20);  // exactly 30000 ms after the OK: still quiet
    EXPECT_EQ(Answering([] { EXPECT_EQ(CallTdx(Tdx17, 1, 0.5f, {0}), "1"); }, IDOK).shown, 0);
    clock_.AdvanceMs(1);
    const Boxes tdx = Answering([] { CallTdx(Tdx17, 1, 0.5f, {0}); }, IDOK, probe(free_during_tdx));
    EXPECT_EQ(tdx.first_text, L"000001: 0.500 \n点 确定 ,30秒将内不再提示");
    clock_.AdvanceSeconds(10);  // TDX 17's OK silences MsgBox too
    EXPECT_EQ(Answering([] { MsgBox("SH600000", 1); }, IDOK).shown, 0);
    EXPECT_TRUE(free_during_msgbox);
    EXPECT_FALSE(free_during_tdx);
}

std::atomic<int32_t> g_inner_ret{-1};

TEST_F(Tracing, ARecalculationInsideAnOpenBoxShowsNoSecondBox) {
    auto call = [] {
        // The timer fires inside the box's message loop, as a recalculation would.
        SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            g_inner_ret = MsgBox("SH600036", 1);
        });
        MsgBox("SH600000", 1);
    };
    const Boxes boxes = Answering(call, IDOK, [] {
        for (int i = 0; i < 20000 && g_inner_ret.load() < 0; ++i) Sleep(1);
    });
    EXPECT_EQ(g_inner_ret.load(), 1);
    EXPECT_EQ(boxes.shown, 1);
}

}  // namespace
}  // namespace pintle::test
