#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "formula/boundary_state.h"
#include "formula/call_lock.h"
#include "formula/formula.h"
#include "plugin/exports.h"
#include "startup/lifecycle.h"
#include "support/formula_builder.h"

namespace pintle {
namespace {

using test::FormulaBuilder;

TEST(HostFlags, ComeFromTheExecutableNameIgnoringCaseAndBriskoWritesAllBars) {
    Boundary().brisko_host = Boundary().halvane_host = false;
    FormulaBuilder dotted(3, "600000.SH"), plain(3);
    WriteResult(*dotted.get(), 1.0f, false);  // a dotted label: all bars, on any host
    EXPECT_EQ(dotted.result(), (std::vector<double>{1.0, 1.0, 1.0}));
    for (const wchar_t* other : {L"Brisko.exe.bak", L"TdxW.exe"}) NoteHost(other);
    EXPECT_FALSE(Boundary().brisko_host || Boundary().halvane_host);
    NoteHost(L"halvane.EXE");
    EXPECT_TRUE(Boundary().halvane_host);
    EXPECT_FALSE(Boundary().brisko_host);
    Boundary().halvane_host = false;
    NoteHost(L"BRISKO.EXE");
    EXPECT_TRUE(Boundary().brisko_host);
    EXPECT_FALSE(Boundary().halvane_host);
    WriteResult(*plain.get(), 1.0f, false);
    EXPECT_EQ(plain.result(), (std::vector<double>{1.0, 1.0, 1.0}));
    Boundary().brisko_host = false;
}

TEST(Exports, RunModeIsZeroAndSetRunModeHonoursTheGate) {
    FormulaBuilder f(3);
    EXPECT_EQ(pintle_RUNMODE(nullptr), 0);
    EXPECT_EQ(pintle_SETRUNMODE(f.SetBarByBar(1, 0).get()), 0);
    EXPECT_EQ(pintle_SETRUNMODE(f.SetBarByBar(1, 2).get()), 0);
    EXPECT_EQ(pintle_SETRUNMODE(nullptr), 0);
    EXPECT_EQ(pintle_RUNMODE(f.get()), 0);
    EXPECT_EQ(f.result(), (std::vector<double>{-1.0, -1.0, -1.0}));
}

// Holds the call lock on another thread until released.
class CallLockHolder {
public:
    CallLockHolder() {
        thread_ = std::thread([this] {
            CallLockHold hold;
            held_.set_value();
            release_.get_future().wait();
        });
        held_.get_future().wait();
    }
    void Release() {
        if (thread_.joinable()) {
            release_.set_value();
            thread_.join();
        }
    }
    ~CallLockHolder() { Release(); }

private:
    std::promise<void> held_, release_;
    std::thread thread_;
};

TEST(Exports, SetSellConditionWaitsForTheCallLockAndBuy1DoesNot) {
    FormulaBuilder f(1);
    CallLockHolder holder;

    auto buy1 = std::async(std::launch::async, [&] { return pintle_NoOperation(f.get()); });
    ASSERT_EQ(buy1.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "Buy1 waited for the call lock";
    EXPECT_EQ(buy1.get(), 0);

    auto sell = std::async(std::launch::async, [&] { return pintle_SetSellCondition(f.get()); });
    EXPECT_EQ(sell.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
        << "SetSellCondition ran while another thread held the call lock";
    holder.Release();
    EXPECT_EQ(sell.get(), 0);
}

// The commonest call, a bar-by-bar formula on a bar before the last, must not
// queue behind another thread's send: it is answered before the call lock.
TEST(Exports, AnEarlierBarIsAnsweredWithoutTheCallLock) {
    CallLockHolder holder;
    for (auto* fn : {pintle_BUY, pintle_SENDQUOTE, pintle_PosInfo, pintle_Get, pintle_Set, pintle_WenCai}) {
        FormulaBuilder f(3);
        f.Arg(1).Arg(100).Arg(3).Arg(0).SetBarByBar(1, 1);
        auto call = std::async(std::launch::async, [&] { return fn(f.get()); });
        if (call.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            holder.Release();
            FAIL() << "an earlier-bar call waited for the call lock";
        }
        EXPECT_EQ(call.get(), 0);
        EXPECT_EQ(f.result(), (std::vector<double>{-1.0, -1.0, -1.0}));
    }
}

}  // namespace
}  // namespace pintle
