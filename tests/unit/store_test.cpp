// The key/value store's rules and its files, byte for byte, in this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <thread>

#include "common/text.h"
#include "common/win.h"
#include "support/plugin_sandbox.h"
#include "support/store_bytes.h"

namespace pintle::test {
namespace {

constexpr uint32_t kNow = 1772674205;       // the manual clock: 2026-03-05 09:30:05 local
constexpr uint32_t kMinute = 1772674200;    // 09:30:00, a whole 5, 15 and 30 minutes
constexpr char kGlobal[] = "\xC8\xAB\xBE\xD6";  // 全局 in GBK

class StoreFiles : public SandboxTest {
protected:
    std::wstring Db() const { return dir_.File(L"data.db"); }
    std::string Path(const std::wstring& file = L"data.db") const { return WideToUtf8(dir_.File(file)); }
};

TEST_F(StoreFiles, NewFileOneRecordPerKeyAndCodesTooLong) {
    KeyValueStore store;
    store.Open(Db(), true);
    EXPECT_EQ(Bytes(), Head(4, 0));
    KeyValueStore().Open(Db(), true);
    EXPECT_EQ(Bytes(), Head(4, 0));

    store.WriteValue("600000", 2, 1, 100, 1.5, 5, kNoBarTime);  // ordinary slots keep period 0
    clock_.AdvanceSeconds(10);
    store.WriteValue("600000", 2, 1, 100, 2.5, 0, kNoBarTime);
    store.WriteValue(kGlobal, 0, 0, 101, -1, 0, kNoBarTime);
    store.WriteValue("1234567890", 0, 0, 100, 9, 0, kNoBarTime);  // dropped without a word
    EXPECT_EQ(Bytes(), Head(4, 2) + Rec48("600000", 2, 1, 100, 0, 2.5, kNow + 10) +
                           Rec48(kGlobal, 0, 0, 101, 0, -1, kNow + 10));

    const StoredValue got = store.ReadValue("600000", 2, 1, 100);
    EXPECT_EQ(got.value, 2.5);
    EXPECT_EQ(got.time, kNow + 10);
    EXPECT_EQ(store.ReadValue("600000", 3, 1, 100).value, 0.0);
    EXPECT_EQ(store.ReadValue("1234567890", 0, 0, 100).value, 0.0);
    KeyValueStore reader;
    reader.Open(Db(), false);
    EXPECT_EQ(reader.ReadValue(kGlobal, 0, 0, 101).value, -1.0);
    EXPECT_EQ(Log(), std::vector<std::string>{"股票代码长度异常:1234567890"});

    // Opened by its UTF-16 path: a directory name outside the ANSI code page.
    ASSERT_TRUE(CreateDirectoryW(dir_.File(L"한글").c_str(), nullptr));
    KeyValueStore().Open(dir_.File(L"한글\\data.db"), true);
    EXPECT_EQ(Bytes(L"한글\\data.db"), Head(4, 0));
}

TEST_F(StoreFiles, OldVersionsAreUpgradedWhenWritableAndReadInTheirOwnLayoutWhenNot) {
    for (const int32_t version : {1, 2}) {
        SCOPED_TRACE(version);
        const std::string first = Rec40("600000", 2, 10001, 3, 1.5, 1000), last = Rec40("600000", 2, 10001, 3, 2.5, 3000);
        WriteFileBytes(Db(), Head(version, 3) + first + Rec40("000001", 0, 100, 0, 7, 2000) + last);
        KeyValueStore reader;
        reader.Open(Db(), false);
        EXPECT_EQ(reader.ReadValue("000001", 0, 0, 100).value, 7.0);
        // An assistant of the old layout rewrites the record in place.
        const std::string old = Head(version, 3) + first + Rec40("000001", 0, 100, 0, 8, 2500) + last;
        WriteFileBytes(Db(), old);
        EXPECT_EQ(reader.ReadValue("000001", 0, 0, 100).value, 8.0);
        EXPECT_EQ(Bytes(), old);

        KeyValueStore writer;
        writer.Open(Db(), true);
        const uint8_t period = version == 2 ? 3 : 0;
        EXPECT_EQ(Bytes(), Head(3, 3) + Rec48("600000", 2, 0, 10001, period, 1.5, 1000) +
                               Rec48("000001", 0, 0, 100, 0, 8, 2500) + Rec48("600000", 2, 0, 10001, period, 2.5, 3000));
        EXPECT_FALSE(FileExists(Db() + L".pintle-upgrade"));
        EXPECT_EQ(writer.ReadValue("000001", 0, 0, 100).value, 8.0);
    }
    EXPECT_TRUE(Log().empty());
}

// What an upgrade left beside data.db is used only when data.db itself shows
// that the upgrade did not finish; a copy under any other name is the
// user's and is never touched.
TEST_F(StoreFiles, OnlyTheUpgradesOwnCopyIsRestoredAndOnlyWhenDataDbShowsTheUpgradeCutShort) {
    const std::string a = Rec48("600000", 0, 0, 100, 0, 1.5, 1000), b = Rec48("000001", 0, 0, 100, 0, 2.5, 2000);
    const std::string v4 = Head(4, 2) + a + b, old = Head(2, 1) + Rec40("600000", 0, 100, 0, 1.5, 1000);
    const std::string upgraded = Head(3, 1) + Rec48("600000", 0, 0, 100, 0, 1.5, 1000);
    const std::wstring copy = L"data.db.pintle-upgrade";
    struct Case {
        const char* what;
        std::map<std::wstring, std::string> before;  // an empty name: no data.db
        std::string db_after;
        std::map<std::wstring, std::string> beside_after;
        std::vector<std::string> log;
    };
    const std::string restored = "数据文件上次升级未完成,已从备份恢复 " + Path();
    const std::vector<Case> cases = {
        {"the user's own .bak", {{L"data.db", v4}, {L"data.db.bak", Head(4, 1) + a}}, v4,
         {{L"data.db.bak", Head(4, 1) + a}}, {}},
        {"records written, header not yet", {{L"data.db", Head(2, 1) + upgraded.substr(8, 30)}, {copy, old}}, upgraded,
         {}, {restored}},
        {"data.db missing", {{copy, old}}, upgraded, {}, {restored}},
        {"upgrade finished, copy left", {{L"data.db", upgraded}, {copy, old}, {copy + L".tmp", "x"}}, upgraded, {}, {}},
        {"a copy of another file", {{L"data.db", Head(2, 0)}, {copy, old}}, Head(2, 0), {{copy, old}},
         {"数据文件旁的升级备份未使用 " + Path(copy), "数据文件升级失败 " + Path(), "数据文件升级失败 " + Path()}},
        {"said once per process", {{L"data.db", Head(2, 0)}, {copy, old}}, Head(2, 0), {{copy, old}},
         {"数据文件升级失败 " + Path(), "数据文件升级失败 " + Path()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const wchar_t* f : {L"data.db", L"data.db.bak", L"data.db.pintle-upgrade", L"data.db.pintle-upgrade.tmp"})
            DeleteFileW(dir_.File(f).c_str());
        for (const auto& [name, bytes] : c.before) ASSERT_TRUE(WriteFileBytes(dir_.File(name), bytes));
        const std::size_t lines = Log().size();
        for (int run = 0; run < 2; ++run) KeyValueStore().Open(Db(), true);  // and a restart
        EXPECT_EQ(Bytes(), c.db_after);
        for (const wchar_t* f : {L"data.db.bak", L"data.db.pintle-upgrade", L"data.db.pintle-upgrade.tmp"}) {
            const auto kept = c.beside_after.find(f);
            EXPECT_EQ(FileExists(dir_.File(f)), kept != c.beside_after.end()) << WideToUtf8(f);
            if (kept != c.beside_after.end()) EXPECT_EQ(Bytes(f), kept->second);
        }
        const auto log = Log();
        EXPECT_EQ(std::vector<std::string>(log.begin() + lines, log.end()), c.log);
    }
    KeyValueStore store;
    store.Open(Db(), true);
    EXPECT_EQ(store.ReadValue("600000", 0, 0, 100).value, 0.0);  // the unused copy stays unread

    // The copy cannot be made: the old file stays, and takes no values.
    WriteFileBytes(Db(), old);
    DeleteFileW(dir_.File(copy).c_str());
    ASSERT_TRUE(CreateDirectoryW((Db() + L".pintle-upgrade.tmp").c_str(), nullptr));
    const std::size_t lines = Log().size();
    KeyValueStore failed;
    failed.Open(Db(), true);
    failed.WriteValue("000001", 0, 0, 100, 2, 0, kNoBarTime);
    EXPECT_EQ(Bytes(), old);
    EXPECT_EQ(failed.ReadValue("600000", 0, 0, 100).value, 1.5);
    const auto log = Log();
    EXPECT_EQ(std::vector<std::string>(log.begin() + lines, log.end()),
              (std::vector<std::string>{"删除升级备份失败 " + Path(copy + L".tmp") + " 错误码=5",
                                        "数据文件升级失败 " + Path(),
                                        "数据文件异常,不写入 " + Path() + " 版本=2 记录数=1"}));
}

TEST_F(StoreFiles, HistoryKeepsOneEntryPerBucketOfThePeriod) {
    using Points = std::vector<std::pair<uint32_t, double>>;
    struct Case { int32_t slot, period; Points writes; const wchar_t* file; Points entries; };
    const uint32_t utc_midnight = 1772755200;
    const std::vector<Case> cases = {
        {10001, 3, {{kMinute + 5, 1}, {kMinute + 50, 2}, {kMinute + 60, 3}, {kMinute + 10, 4}},
         L"data\\0\\600000\\0\\3\\10001.dat", {{kMinute + 50, 2}, {kMinute + 60, 3}}},
        {10004, 0, {{utc_midnight - 1, 1}, {utc_midnight, 2}, {utc_midnight + 3600, 3}},
         L"data\\0\\600000\\0\\8\\10004.dat", {{utc_midnight - 1, 1}, {utc_midnight + 3600, 3}}},
        {92, 8, {{kMinute, 1}, {kMinute, 2}, {kMinute + 1, 3}}, L"data\\0\\600000\\0\\8\\92.dat",
         {{kMinute, 2}, {kMinute + 1, 3}}},
        {-10005, 5, {{kNoBarTime, 5}}, L"data\\0\\600000\\0\\5\\10005.dat", {{kNow, 5}}},
    };
    KeyValueStore store;
    store.Open(Db(), true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        for (const auto& [time, value] : c.writes) store.WriteValue("600000", 0, 0, c.slot, value, c.period, time);
        std::string expected = Head(2, static_cast<int32_t>(c.entries.size()));
        for (const auto& [time, value] : c.entries) expected += Entry(time, value);
        EXPECT_EQ(Bytes(c.file), expected);
        const auto read = store.ReadHistory("600000", 0, 0, c.slot, c.period);
        ASSERT_EQ(read.size(), c.entries.size());
        for (std::size_t i = 0; i < read.size(); ++i) EXPECT_EQ(read[i].time, c.entries[i].first);
    }
    // A history never written reads empty; the writable store leaves an empty file behind.
    EXPECT_TRUE(store.ReadHistory("000001", 1, 0, 20000, 3).empty());
    EXPECT_EQ(Bytes(L"data\\0\\000001\\1\\3\\20000.dat"), Head(2, 0));
    KeyValueStore reader;
    reader.Open(Db(), false);
    EXPECT_TRUE(reader.ReadHistory("000002", 1, 0, 20000, 3).empty());
    EXPECT_FALSE(FileExists(dir_.File(L"data\\0\\000002")));
}

TEST_F(StoreFiles, FilesWrittenBySomeoneElseAreNeverMadeWorse) {
    const std::string a = Rec48("600000", 0, 0, 100, 0, 1, 1000), b = Rec48("000001", 0, 0, 100, 0, 2, 1000);
    const std::string added = Rec48("300001", 0, 0, 100, 0, 3, kNow);
    struct Case { const char* what; std::string before, after; double read; const char* refusal; };
    const std::vector<Case> cases = {
        {"count beyond the file", Head(4, 5) + a + b, Head(4, 3) + a + b + added, 1, nullptr},
        {"torn last record", Head(4, 3) + a + b + std::string(20, 'x'), Head(4, 3) + a + b + added, 1, nullptr},
        {"record not counted", Head(4, 1) + a + b, Head(4, 3) + a + b + added, 1, nullptr},
        {"torn header", std::string("\x04\0\0", 3), Head(4, 1) + added, 0, nullptr},
        {"negative count", Head(4, -1) + a, Head(4, -1) + a, 0, " 版本=4 记录数=-1"},
        {"unknown version", Head(7, 1) + a, Head(7, 1) + a, 1, " 版本=7 记录数=1"},
        {"version 0", Head(0, 1) + Rec40("600000", 0, 100, 0, 1, 1000), Head(0, 1) + Rec40("600000", 0, 100, 0, 1, 1000),
         1, " 版本=0 记录数=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t lines = Log().size();
        WriteFileBytes(Db(), c.before);
        KeyValueStore reader;
        reader.Open(Db(), false);
        EXPECT_EQ(reader.ReadValue("600000", 0, 0, 100).value, c.read);
        KeyValueStore writer;
        writer.Open(Db(), true);
        writer.WriteValue("300001", 0, 0, 100, 3, 0, kNoBarTime);
        EXPECT_EQ(Bytes(), c.after);
        EXPECT_EQ(writer.ReadValue("600000", 0, 0, 100).value, c.read);
        const auto log = Log();
        EXPECT_EQ(std::vector<std::string>(log.begin() + lines, log.end()),
                  c.refusal ? std::vector<std::string>{"数据文件异常,不写入 " + Path() + c.refusal}
                            : std::vector<std::string>{});
    }

    const std::wstring history = L"data\\0\\600000\\0\\3\\10001.dat";
    WriteFileBytes(Db(), Head(4, 0));
    KeyValueStore store;
    store.Open(Db(), true);
    store.ReadHistory("600000", 0, 0, 10001, 3);  // creates the directories
    WriteFileBytes(dir_.File(history), Head(2, 4) + Entry(kMinute, 1) + "torn");
    store.WriteValue("600000", 0, 0, 10001, 2, 3, kMinute + 60);
    EXPECT_EQ(Bytes(history), Head(2, 2) + Entry(kMinute, 1) + Entry(kMinute + 60, 2));
    WriteFileBytes(dir_.File(history), Head(2, -3) + Entry(kMinute, 1));
    store.WriteValue("600000", 0, 0, 10001, 3, 3, kMinute + 120);
    EXPECT_EQ(Bytes(history), Head(2, -3) + Entry(kMinute, 1));
    EXPECT_TRUE(store.ReadHistory("600000", 0, 0, 10001, 3).empty());
    EXPECT_EQ(Log().back(), "历史文件异常,不写入 " + Path(history) + " 记录数=-3");
}

TEST_F(StoreFiles, AWriterCatchesUpWithRecordsAnotherWriterAppendedAndWithAReplacedFile) {
    KeyValueStore first, second;
    first.Open(Db(), true);
    second.Open(Db(), true);
    first.WriteValue("000001", 0, 0, 100, 1, 0, kNoBarTime);
    second.WriteValue("000002", 0, 0, 100, 2, 0, kNoBarTime);
    first.WriteValue("000002", 0, 0, 100, 3, 0, kNoBarTime);  // updated where the other put it
    first.WriteValue("000003", 0, 0, 100, 4, 0, kNoBarTime);
    EXPECT_EQ(Bytes(), Head(4, 3) + Rec48("000001", 0, 0, 100, 0, 1, kNow) + Rec48("000002", 0, 0, 100, 0, 3, kNow) +
                           Rec48("000003", 0, 0, 100, 0, 4, kNow));

    // Another file of the same version takes data.db's place, the known key
    // at a lower index: the update goes where the key is now.
    const std::string others = Rec48("000004", 0, 0, 100, 0, 8, 1000) + Rec48("000005", 0, 0, 100, 0, 9, 1000);
    ASSERT_TRUE(WriteFileBytes(Db(), Head(4, 3) + Rec48("000003", 0, 0, 100, 0, 7, 1000) + others));
    first.WriteValue("000003", 0, 0, 100, 5, 0, kNoBarTime);
    EXPECT_EQ(Bytes(), Head(4, 3) + Rec48("000003", 0, 0, 100, 0, 5, kNow) + others);
    EXPECT_EQ(first.ReadValue("000005", 0, 0, 100).value, 9.0);
}

TEST_F(StoreFiles, ReloadWhenTheFileTimeMovesAndAnAbandonedMutexIsTaken) {
    KeyValueStore writer, reader;
    writer.Open(Db(), true);
    writer.WriteValue("000001", 0, 0, 100, 1, 0, kNoBarTime);
    reader.Open(Db(), false);
    EXPECT_FALSE(reader.ReloadIfChanged());
    {
        // Wine moves the time on every write, so the test sets it.
        UniqueHandle file(CreateFileW(Db().c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        FILETIME old{0, 30000000};
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &old));
    }
    EXPECT_TRUE(reader.ReloadIfChanged());
    EXPECT_FALSE(reader.ReloadIfChanged());
    EXPECT_EQ(Log(), std::vector<std::string>{"reload " + Path()});

    HANDLE left = nullptr;
    std::thread([&left] {
        left = CreateMutexW(nullptr, FALSE, L"Global\\KovaltKeyValueDB");
        WaitForSingleObject(left, INFINITE);  // and the thread ends without releasing it
    }).join();
    writer.WriteValue("000002", 0, 0, 100, 2, 0, kNoBarTime);
    EXPECT_EQ(reader.ReadValue("000002", 0, 0, 100).value, 2.0);
    DWORD waited = WAIT_FAILED;
    std::thread([&] { waited = WaitForSingleObject(left, 10000); ReleaseMutex(left); }).join();
    EXPECT_EQ(waited, WAIT_OBJECT_0);  // released after use, no longer abandoned
    CloseHandle(left);
}

TEST_F(StoreFiles, CodesThatAreNoPlainFileNameNeverBuildAHistoryPath) {
    KeyValueStore store;
    store.Open(Db(), true);
    std::vector<std::string> expected;
    for (const char* code : {"..", "a\\b", "a/b", "c:", "x\x01"}) {
        store.WriteValue(code, 0, 0, 10001, 1, 3, kMinute);
        EXPECT_TRUE(store.ReadHistory(code, 0, 0, 10001, 3).empty());
        EXPECT_EQ(store.ReadValue(code, 0, 0, 10001).value, 0.0);  // the value itself is kept under period 3
        expected.insert(expected.end(), 2, std::string("股票代码不能用作路径,跳过历史数据:") + code);
    }
    EXPECT_EQ(Log(), expected);
    EXPECT_FALSE(FileExists(dir_.File(L"data")));
    EXPECT_EQ(Bytes().size(), 8u + 5 * 48);
}

TEST_F(StoreFiles, OnlyTradeTimeIsOnWithOneAndOffWithZero) {
    UseSettings("OnlyTradeTime=1\r\n");
    EXPECT_TRUE(CurrentSettings().only_trade_time);
    UseSettings("OnlyTradeTime=0\r\n");
    EXPECT_FALSE(CurrentSettings().only_trade_time);
}

}  // namespace
}  // namespace pintle::test
