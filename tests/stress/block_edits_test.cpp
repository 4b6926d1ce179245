// Many writers on one block list: eight threads of one terminal, and two
// terminal processes, add distinct codes to the same DZH and TDX block at
// once, and every code lands exactly once. A writer that holds a block file
// longer than the wait changes nothing and the log says so.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <thread>

#include "blocks/block_lock.h"
#include "common/text.h"
#include "common/win.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "stress/bounded.h"
#include "support/block_bytes.h"
#include "support/formula_calls.h"
#include "support/plugin_sandbox.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

constexpr int kWriters = 8, kCodes = 25;

int CodeOf(int writer, int i) { return 600000 + writer * 100 + i; }

// The block folders, and an empty 自选股3 (a DZH block file is never created).
void MakeBlocks(const std::wstring& dir) {
    MakeBlockDirectories(dir);
    WriteFileBytes(dir + L"\\USERDATA\\block\\自选股3.BLK", A5({}));
}

// Every code of writers [0, writers) exactly once in both files.
void ExpectEveryCodeOnce(const std::wstring& dir, int writers) {
    std::multiset<std::string> dzh, tdx, expected_dzh, expected_tdx;
    for (int w = 0; w < writers; ++w) {
        for (int i = 0; i < kCodes; ++i) {
            expected_dzh.insert("SH" + std::to_string(CodeOf(w, i)));
            expected_tdx.insert("1" + std::to_string(CodeOf(w, i)));
        }
    }
    const std::string blk = ReadFileBytes(dir + L"\\USERDATA\\block\\自选股3.BLK");
    ASSERT_EQ(blk.size(), 4u + 12u * writers * kCodes);
    for (std::size_t at = 4; at + 12 <= blk.size(); at += 12) dzh.insert(blk.substr(at, 12).c_str());
    for (const auto& line : SplitTdxLines(ReadFileBytes(dir + L"\\T0002\\blocknew\\ZXG3.blk"))) tdx.insert(line);
    EXPECT_EQ(dzh, expected_dzh);
    EXPECT_EQ(tdx, expected_tdx);
}

class BlockEditsAtOnce : public SandboxTest {
protected:
    void SetUp() override { MakeBlocks(dir_.path()); }
};

TEST_F(BlockEditsAtOnce, EightThreadsAddDistinctCodesToOneDzhAndOneTdxBlock) {
    std::vector<int> failed(kWriters, 0);
    RunBounded(kWriters, std::chrono::seconds(120), [&](int w) {
        for (int i = 0; i < kCodes; ++i) {
            const std::string label = "SH" + std::to_string(CodeOf(w, i));
            failed[w] += CallOnLastBar(pintle_save2blk, label.c_str(), {1, 3, 0}) != 1.0;
            failed[w] += RunTdx(Tdx36, static_cast<float>(CodeOf(w, i)), 1, {3}).back() != 1.0f;
        }
    });
    EXPECT_EQ(failed, std::vector<int>(kWriters, 0));
    ExpectEveryCodeOnce(dir_.path(), kWriters);
    EXPECT_EQ(Log(), std::vector<std::string>{});
}

TEST_F(BlockEditsAtOnce, AFileHeldLongerThanTheWaitIsNotEditedAndTheLogSaysSoOnceAMinute) {
    const std::wstring dzh = dir_.File(L"USERDATA\\block\\自选股3.BLK"), tdx = dir_.File(L"T0002\\blocknew\\ZXG3.blk");
    ASSERT_TRUE(WriteFileBytes(tdx, "1600000"));
    // Another program holds both files' mutexes, named as the plug-in names
    // them: the full path in upper case.
    HANDLE held[2] = {};
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr), taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        int n = 0;
        for (std::wstring path : {dzh, tdx}) {
            CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
            held[n] = CreateMutexW(nullptr, FALSE, BlockMutexName(path).c_str());
            WaitForSingleObject(held[n++], INFINITE);
        }
        SetEvent(taken);
        WaitForSingleObject(release, INFINITE);
        // Ends without releasing the DZH one: the next edit takes it as it is.
        ReleaseMutex(held[1]);
    });
    WaitForSingleObject(taken, INFINITE);
    const std::string dzh_path = WideToUtf8(dzh), tdx_path = WideToUtf8(tdx);
    EXPECT_EQ(CallOnLastBar(pintle_save2blk, "SH600036", {1, 3, 0}, 3), 0.0);
    EXPECT_EQ(CallTdx(Tdx37, 600000, 1, {3, 3}), "-1 -1");
    EXPECT_EQ(CallTdx(Tdx36, 600036, 1, {3}), "-1");  // within the minute: no second line
    clock_.AdvanceSeconds(60);
    FormulaBuilder del(3, "SH600000");
    del.Arg(1).Arg(3);
    pintle_del2blk(del.get());
    EXPECT_EQ(del.result(), (std::vector<double>{0, 0, 0}));
    SetEvent(release);
    holder.join();
    EXPECT_EQ(ReadFileBytes(dzh), A5({}));
    EXPECT_EQ(ReadFileBytes(tdx), "1600000");
    EXPECT_EQ(Log(), (std::vector<std::string>{dzh_path + " 正被其他程序修改,等待2秒未果,板块未改动",
                                               tdx_path + " 正被其他程序修改,等待2秒未果,板块未改动",
                                               dzh_path + " 正被其他程序修改,等待2秒未果,板块未改动"}));
    // Abandoned by a holder that died: the next edit goes ahead.
    EXPECT_EQ(CallOnLastBar(pintle_save2blk, "SH600036", {1, 3, 0}), 1.0);
    EXPECT_EQ(ReadFileBytes(dzh), A5({"SH600036"}));
    for (HANDLE h : {held[0], held[1], release, taken}) CloseHandle(h);
}

TEST(BlockEditsOfTwoTerminals, TwoTerminalsAddDistinctCodesToTheSameBlocks) {
    Terminal terminal;
    MakeBlocks(terminal.dir());
    std::string scripts[2];
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kCodes; ++i) {
            const std::string code = std::to_string(CodeOf(w, i));
            scripts[w] += "call save2blk --label SH" + code + " --arg 1 --arg 3 --arg 0\ntdx 36 --a " + code +
                          " --b 1 --c 3\n";
        }
    }
    RunResult runs[2];
    RunBounded(2, std::chrono::seconds(120), [&](int w) { runs[w] = terminal.RunScript(scripts[w], 110000); });
    for (const RunResult& run : runs) {
        EXPECT_EQ(run.exit_code, 0u);
        ASSERT_EQ(run.calls.size(), 2u * kCodes);
        for (const CallOutput& c : run.calls) EXPECT_EQ(c.values.back(), 1.0) << c.name;
    }
    ExpectEveryCodeOnce(terminal.dir(), 2);
}

}  // namespace
}  // namespace pintle::test
