// Screening results in this process: the 5-second re-check of a file's time,
// membership through a reload, and the missing-file notice.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/win.h"
#include "support/plugin_sandbox.h"

namespace pintle::test {
namespace {

class ScreeningFiles : public SandboxTest {
protected:
    void SetUp() override {
        Assistant().directory = dir_.path() + L"\\";
        for (const wchar_t* d : {L"WenCai", L"HotStocks", L"AI"}) CreateDirectoryW(dir_.File(d).c_str(), nullptr);
    }
    // Writes a result file and gives it a last-write time (seconds since 1970).
    void Write(const wchar_t* file, const std::string& bytes, int64_t time) {
        ASSERT_TRUE(WriteFileBytes(dir_.File(file), bytes));
        UniqueHandle h(CreateFileW(dir_.File(file).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const uint64_t ticks = static_cast<uint64_t>(time) * 10000000ULL + 116444736000000000ULL;
        const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        ASSERT_TRUE(SetFileTime(h.get(), nullptr, nullptr, &ft));
    }
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
    const ScreeningEntry& e = ScreeningCacheOf(ScreeningKind::kAi).at(7);
    EXPECT_EQ(e.check_time, t0 + 17);
    EXPECT_EQ(e.file_time, 2000);
    EXPECT_EQ(e.codes, std::vector<std::string>{"000001"});
}

// Membership is answered by a hashed set built with the code list: exactly
// the list's membership, odd lines included, and a reload replaces it whole.
TEST_F(ScreeningFiles, HashedMembershipFollowsTheListThroughAReload) {
    Write(L"WenCai\\5.txt", "600000\r\n600000\tdup\n\xEF\xBB\xBF""000002\n\t\n000001 \n", 1000);
    auto hit = [](const char* code) { return ScreeningHit(ScreeningKind::kWenCai, code, 5); };
    for (const char* code : {"600000", "000001 ", "\xEF\xBB\xBF""000002"}) EXPECT_EQ(hit(code), 1) << code;
    for (const char* code : {"000002", "000001", "", "60000"}) EXPECT_EQ(hit(code), 0) << code;
    Write(L"WenCai\\5.txt", "300750\n", 2000);
    clock_.AdvanceSeconds(6);
    EXPECT_EQ(hit("300750"), 1);
    EXPECT_EQ(hit("600000"), 0);
    EXPECT_EQ(hit("000001 "), 0);
}

TEST_F(ScreeningFiles, AMissingFileIsReportedAtMostOnceEveryThreeSecondsWhateverTheKind) {
    // No assistant window: the notice's text goes to the log, at most once
    // every 3 seconds whatever the kind.
    EXPECT_EQ(ScreeningHit(ScreeningKind::kWenCai, "600000", 4), 0);
    EXPECT_EQ(ScreeningHit(ScreeningKind::kHot, "600000", 4), 0);
    clock_.AdvanceSeconds(3);
    EXPECT_EQ(ScreeningHit(ScreeningKind::kHot, "600000", 4), 0);
    EXPECT_EQ(Log(), (Lines{
                         "没有在助手配置问财查询,请先在助手增加编号为 4 的问财查询条件\n"
                         "也有可能是选股还没完成,如果已经创建条件请稍后重试",
                         "没有在助手配置热点查询,请先在助手增加编号为 4 的热点查询条件\n"
                         "也有可能是选股还没完成,如果已经创建条件请稍后重试"}));
    EXPECT_EQ(ScreeningCacheOf(ScreeningKind::kWenCai).count(4), 0u);
}

}  // namespace
}  // namespace pintle::test
