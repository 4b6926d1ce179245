// The plug-in log: one file a day in the terminal directory, whole UTF-8
// lines with their local time, shared by every run and terminal of the day.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/clock.h"
#include "common/paths.h"
#include "common/win.h"
#include "log/plugin_log.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

class PluginLogTest : public ::testing::Test {
protected:
    void SetUp() override { SetTerminalDirectoryForTesting(dir_.path()); }
    void TearDown() override {
        SetTerminalDirectoryForTesting(L"");
        PluginLog::Instance().Reopen();
    }
    std::wstring DayFile() const { return dir_.File(L"助手日志\\2026-03-05.log"); }

    TempDir dir_{L"log"};
    ManualClock clock_;  // 2026-03-05 09:30:05 in UTC+8 (the tests run with TZ=CST-8)
    ScopedClock installed_{clock_};
};

TEST_F(PluginLogTest, ConcurrentFirstWritesOpenTheFileOnce) {
    // CTest runs every test as its own process, and this one comes first in
    // its program, so the log is created right here by the racing threads.
    std::vector<std::thread> threads;
    std::atomic<int> ready{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([i, &ready] {
            ++ready;
            while (ready.load() < 8) std::this_thread::yield();
            PluginLog::Instance().WriteFormatted(L"thread %d", {i});
        });
    }
    for (auto& t : threads) t.join();
    const auto lines = LogMessagesOf(ReadFileBytes(DayFile()));
    ASSERT_EQ(lines.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(Contains(lines, "thread " + std::to_string(i))) << i;
}

TEST_F(PluginLogTest, TimestampedUtf8LinesWithoutBomAppendedByEveryRunAndTerminalOfTheDay) {
    PluginLog& log = PluginLog::Instance();
    log.Reopen();
    EXPECT_EQ(log.Path(), DayFile());
    log.Write(L"abc");
    PluginLog other;  // another terminal in the same directory, open at the same time
    other.Write(L"other terminal");
    clock_.AdvanceSeconds(1);
    log.WriteFormatted(L"接收到 清仓命令 %d ", {5});
    log.Reopen();  // what the next load of the library does
    log.Write(L"second run");
    EXPECT_EQ(ReadFileBytes(DayFile()),
              "2026-03-05 09:30:05 abc\r\n2026-03-05 09:30:05 other terminal\r\n"
              "2026-03-05 09:30:06 \xe6\x8e\xa5\xe6\x94\xb6\xe5\x88\xb0 \xe6\xb8\x85\xe4\xbb\x93\xe5\x91\xbd\xe4\xbb\xa4 5 \r\n"
              "2026-03-05 09:30:06 second run\r\n");
}

TEST_F(PluginLogTest, KeepsTheDayItWasOpenedOnPastMidnight) {
    clock_.AdvanceSeconds(14 * 3600 + 29 * 60);  // 23:59:05
    PluginLog& log = PluginLog::Instance();
    log.Reopen();
    log.Write(L"before");
    clock_.AdvanceSeconds(120);
    log.Write(L"after");
    EXPECT_EQ(ReadFileBytes(DayFile()), "2026-03-05 23:59:05 before\r\n2026-03-06 00:01:05 after\r\n");
    EXPECT_FALSE(FileExists(dir_.File(L"助手日志\\2026-03-06.log")));
}

TEST_F(PluginLogTest, AWriterThatKeepsTheAppendLockCostsOneWaitThenNone) {
    PluginLog& log = PluginLog::Instance();
    log.Reopen();
    log.Write(L"first");
    // Another program holds the append lock (one byte at 2^62) and keeps it.
    UniqueHandle other(CreateFileW(DayFile().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000u;
    ASSERT_TRUE(LockFileEx(other.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
    const ULONGLONG start = GetTickCount64();
    for (int i = 0; i < 8; ++i) log.WriteFormatted(L"line %d", {i});
    const ULONGLONG took = GetTickCount64() - start;
    UnlockFileEx(other.get(), 0, 1, 0, &at);
    // One wait of a second for the first line; none for the rest (a wait
    // per line would take 8 s).
    EXPECT_LT(took, 4000u);
    EXPECT_EQ(LogMessagesOf(ReadFileBytes(DayFile())),
              (Lines{"first", "line 0", "line 1", "line 2", "line 3", "line 4", "line 5", "line 6", "line 7"}));
}

TEST_F(PluginLogTest, AnUnwritableLogDirectoryDropsLinesSilently) {
    // A file where the log directory should be: the directory cannot be
    // created, as in a read-only terminal directory.
    ASSERT_TRUE(WriteFileBytes(dir_.File(L"助手日志"), "not a directory"));
    PluginLog& log = PluginLog::Instance();
    log.Reopen();
    EXPECT_FALSE(log.IsOpen());
    log.Write(L"lost");
    log.WriteFormatted(L"%d", {1});
    EXPECT_EQ(ReadFileBytes(dir_.File(L"助手日志")), "not a directory");
}

}  // namespace
}  // namespace pintle::test
