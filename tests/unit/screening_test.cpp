// Screening results in this process, against stand-in assistants that run
// from directories of their own: the 5-second re-check of a file's time,
// membership through a reload, each assistant number answered from its own
// files, and an assistant that does not run.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "common/text.h"
#include "common/win.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "support/formula_calls.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"

namespace pintle::test {
namespace {

class ScreeningFiles : public SandboxTest {
protected:
    void SetUp() override {
        kovalt_ = std::make_unique<KovaltProcess>(KovaltOptions{.number = 0, .exe_dir = dir_.path()}, dir_.path());
        ASSERT_TRUE(kovalt_->Started());
        for (const wchar_t* d : {L"WenCai", L"HotStocks", L"AI"}) CreateDirectoryW(dir_.File(d).c_str(), nullptr);
        SelectAssistant(0);
    }
    // Writes a result file and gives it a last-write time (seconds since 1970).
    void Write(const wchar_t* file, const std::string& bytes, int64_t time) {
        ASSERT_TRUE(WriteFileBytes(dir_.File(file), bytes));
        UniqueHandle h(CreateFileW(dir_.File(file).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const uint64_t ticks = static_cast<uint64_t>(time) * 10000000ULL + 116444736000000000ULL;
        const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        ASSERT_TRUE(SetFileTime(h.get(), nullptr, nullptr, &ft));
    }
    std::unique_ptr<KovaltProcess> kovalt_;
};

TEST_F(ScreeningFiles, ARewriteIsSeenOnlyAfterFiveSecondsAndOnlyWithANewFileTime) {
    const int64_t t0 = clock_.NowSeconds();
    Write(L"AI\\7.txt", "600000\n", 1000);
    auto hit = [](const char* code) { return ScreeningHit(ScreeningKind::kAi, code, 7); };
    EXPECT_EQ(hit("600000"), 1);  // created and read
    clock_.AdvanceSeconds(1);
    EXPECT_EQ(hit("600000"), 1);  // first check of the file's time
    Write(L"AI\\7.txt", "000001\n", 2000);
    clock_.AdvanceSeconds(5);
    EXPECT_EQ(hit("000001"), 0);  // 5 s after the check: not yet
    clock_.AdvanceSeconds(1);
    EXPECT_EQ(hit("000001"), 1);
    Write(L"AI\\7.txt", "600036\n", 2000);  // same second: not noticed
    clock_.AdvanceSeconds(10);
    EXPECT_EQ(hit("600036"), 0);
    EXPECT_EQ(hit("000001"), 1);
    const ScreeningEntry* e = FindScreeningEntry(0, ScreeningKind::kAi, 7);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->check_time, t0 + 17);
    EXPECT_EQ(e->file_time, 2000);
    EXPECT_EQ(e->members, std::unordered_set<std::string>{"000001"});
    Write(L"AI\\7.txt", "300750\n", 3000);
    clock_.SetNowSeconds(clock_.NowSeconds() - 3600);  // the clock set back: looked at again at once
    EXPECT_EQ(hit("300750"), 1);
}

// Membership is answered by a hashed set: exactly the file's codes, odd
// lines included, and a reload replaces it whole. A file too large to be a
// list of codes matches nothing.
TEST_F(ScreeningFiles, HashedMembershipFollowsTheFileThroughAReload) {
    Write(L"WenCai\\5.txt", "600000\r\n600000\tdup\n\xEF\xBB\xBF""000002\n\t\n000001 \n", 1000);
    auto hit = [](const char* code) { return ScreeningHit(ScreeningKind::kWenCai, code, 5); };
    for (const char* code : {"600000", "000001 ", "\xEF\xBB\xBF""000002"}) EXPECT_EQ(hit(code), 1) << code;
    for (const char* code : {"000002", "000001", "", "60000"}) EXPECT_EQ(hit(code), 0) << code;
    Write(L"WenCai\\5.txt", "300750\n", 2000);
    clock_.AdvanceSeconds(6);
    EXPECT_EQ(hit("300750"), 1);
    EXPECT_EQ(hit("600000"), 0);
    EXPECT_EQ(hit("000001 "), 0);
    std::string huge;
    while (huge.size() <= kScreeningFileCap) huge += "300750\n";
    Write(L"WenCai\\5.txt", huge, 3000);
    clock_.AdvanceSeconds(6);
    EXPECT_EQ(hit("300750"), 0);
    EXPECT_EQ(Log(), Lines{WideToUtf8(dir_.File(L"WenCai\\5.txt")) + " 文件超过4MiB,不是选股结果,按无结果处理"});
}

TEST_F(ScreeningFiles, WithoutItsAssistantAQueryAnswersZeroReadsNothingAndSaysSoOnceAMinute) {
    Write(L"WenCai\\5.txt", "600000\n", 1000);
    EXPECT_EQ(ScreeningHit(ScreeningKind::kWenCai, "600000", 5), 1);
    kovalt_->Stop();
    clock_.AdvanceSeconds(4);
    EXPECT_EQ(ScreeningHit(ScreeningKind::kWenCai, "600000", 5), 1);  // looked for at most every 5 s
    clock_.AdvanceSeconds(1);
    const Lines calls = {"WenCai 5", "WenCai 5", "WenCai 4", "Hot 5", "+60 s", "WenCai 5", "-100 s", "WenCai 5"};
    for (const std::string& c : calls) {
        if (c[0] == '+' || c[0] == '-') {
            clock_.SetNowSeconds(clock_.NowSeconds() + std::stoi(c));
            continue;
        }
        const ScreeningKind kind = c[0] == 'W' ? ScreeningKind::kWenCai : ScreeningKind::kHot;
        EXPECT_EQ(ScreeningHit(kind, "600000", c.back() - '0'), 0) << c;
    }
    // No missing-file line for query 4 either: nothing was looked for. A
    // clock set back lets the line through again.
    const std::string unreachable =
        "不能连接编号为 0 的 助手,  Pintle.dll将不能连接助手下单 错误=2, "
        "请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试";
    EXPECT_EQ(Log(), (Lines{unreachable, "助手0未运行,问财查询 5 无结果", "助手0未运行,问财查询 4 无结果",
                            "助手0未运行,热点查询 5 无结果", "助手0未运行,问财查询 5 无结果", unreachable,
                            "助手0未运行,问财查询 5 无结果"}));
}

// Two assistants in two directories, each with its own WenCai\3.txt: every
// call answers from the files of the assistant it names, in either order.
TEST(ScreeningOfTwoAssistants, EachNumberAnswersFromItsOwnFilesAndNotAtAllOnceStopped) {
    TempDir work(L"screening-two"), home0(L"screening-home0"), home1(L"screening-home1");
    auto zero = std::make_unique<KovaltProcess>(
        KovaltOptions{.number = 0, .exe_dir = home0.path(), .screening = {L"WenCai:3:600000"}}, work.path());
    auto one = std::make_unique<KovaltProcess>(
        KovaltOptions{.number = 1, .exe_dir = home1.path(), .screening = {L"WenCai:3:000001"}}, work.path());
    ASSERT_TRUE(zero->Started() && one->Started());
    ManualClock clock;
    ScopedClock installed(clock);
    PluginSandbox sandbox(work.path());
    auto wencai = [](const char* label, double assistant) {
        return CallOnLastBar(pintle_WenCai, label, {3, assistant}, 1);
    };
    auto tdx35 = [](int assistant, float code) {
        RunTdx(Tdx7, static_cast<float>(assistant), 0, {0});
        return RunTdx(Tdx35, code, 3, {0}).back();
    };
    const std::vector<double> answers = {
        wencai("SH600000", 1), wencai("SH600000", 0), wencai("SZ000001", 1), wencai("SZ000001", 0),
        tdx35(0, 1),           tdx35(1, 1),           tdx35(1, 600000),      tdx35(0, 600000),
    };
    EXPECT_EQ(answers, (std::vector<double>{0, 1, 1, 0, 0, 1, 0, 1}));
    one->Stop();
    clock.AdvanceSeconds(5);
    EXPECT_EQ(wencai("SZ000001", 1), 0.0);
    EXPECT_EQ(wencai("SH600000", 0), 1.0);
    EXPECT_EQ(PluginLogLines(), (Lines{"不能连接编号为  1 的 助手, Pintle.dll将不能连接助手下单 错误=2, "
                                       "请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试",
                                       "助手1未运行,问财查询 3 无结果"}));
}

}  // namespace
}  // namespace pintle::test
