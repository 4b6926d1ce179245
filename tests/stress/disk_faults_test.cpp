// A terminal whose directory sits on a full disk, and one whose directory is
// read-only: no file gets shorter, what failed is in the log, and the
// terminal goes on. The terminal is this process, calling the exports.
//
// The file systems are made around this program by disk_faults.sh, which
// says where in the environment:
//   PINTLE_FULL_DISK_DIR   a directory on a small file system (mode tmpfs,
//                          filled up here), or under a file size limit of
//                          16 KiB (mode file-size-limit)
//   PINTLE_FULL_DISK_MODE  tmpfs | file-size-limit
//   PINTLE_READONLY_DIR    a read-only terminal directory with a store and
//                          block files, its log directory writable
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <map>
#include <regex>

#include "common/text.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "store/store.h"
#include "stress/bounded.h"
#include "support/block_bytes.h"
#include "support/plugin_sandbox.h"
#include "support/store_bytes.h"
#include "support/formula_calls.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

constexpr int kOldRecords = 339;  // 16280 bytes: two more records fit in 16 KiB (or its last page)

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

std::string OldCode(int i) { return std::to_string(100000 + i); }

// The files of a terminal directory the calls below touch.
const wchar_t* const kFiles[] = {L"TradeSelfData\\data.db", L"USERDATA\\block\\自选股3.BLK",
                                 L"T0002\\blocknew\\ZXG3.blk"};

std::map<std::wstring, std::string> Snapshot(const std::wstring& dir) {
    std::map<std::wstring, std::string> files;
    for (const wchar_t* f : kFiles) files[f] = ReadFileBytes(dir + L"\\" + f);
    return files;
}

bool AnyLineStartsWith(const std::vector<std::string>& lines, const std::string& start) {
    for (const std::string& l : lines) {
        if (l.rfind(start, 0) == 0) return true;
    }
    return false;
}

// Writes a file until the disk takes no more.
void FillDisk(const std::wstring& file) {
    UniqueHandle h(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(h);
    const std::string chunk(4096, 'f');
    DWORD wrote = 0;
    for (int i = 0; i < 1 << 20 && WriteFile(h.get(), chunk.data(), 4096, &wrote, nullptr) && wrote == 4096; ++i) {
    }
}

void FullDisk(const std::wstring& dir) {
    const bool tmpfs = Env(L"PINTLE_FULL_DISK_MODE") == L"tmpfs";
    CreateDirectoryW((dir + L"\\TradeSelfData").c_str(), nullptr);
    MakeBlockDirectories(dir);
    std::string db = Head(4, kOldRecords);
    for (int i = 0; i < kOldRecords; ++i) db += Rec48(OldCode(i), 0, 0, 100, 0, i + 0.5, 1772674205);
    ASSERT_TRUE(WriteFileBytes(dir + L"\\" + kFiles[0], db));
    ASSERT_TRUE(WriteFileBytes(dir + L"\\" + kFiles[1], A5({"SH600000"})));
    ASSERT_TRUE(WriteFileBytes(dir + L"\\" + kFiles[2], "1600000"));
    PluginSandbox sandbox(dir);
    OpenOwnStore(dir + L"\\" + kFiles[0], true);
    ASSERT_EQ(CallOnLastBar(pintle_Log, "SH600000", {1}), 1.0);  // the log file and its first page exist
    const auto before = Snapshot(dir);
    if (tmpfs) FillDisk(dir + L"\\filler");

    // New values until the disk is full, and a few more.
    int stored = 0, refused = 0;
    for (int i = 0; i < 12 && refused < 3; ++i) {
        CallOnLastBar(pintle_Set, ("SH" + std::to_string(700000 + i)).c_str(), {1000.0 + i, 100, 0, 0});
        KeyValueStore reader;
        reader.Open(dir + L"\\" + kFiles[0], false);
        if (reader.ReadValue(std::to_string(700000 + i), 0, 0, 100).value == 1000.0 + i) {
            EXPECT_EQ(refused, 0) << "a value stored after one was refused";
            ++stored;
        } else {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0) << "the disk never got full";
    const double added_dzh = CallOnLastBar(pintle_save2blk, "SH600001", {1, 3, 0});
    const std::string added_tdx = CallTdx(Tdx36, 1, 1, {3});
    CallOnLastBar(pintle_Set, "SH600000", {9, 10001, 0, 0});  // a history value

    // The terminal goes on: the old values are all still there to read.
    for (int i = 0; i < kOldRecords; i += 50) {
        EXPECT_EQ(CallOnLastBar(pintle_Get, ("SH" + OldCode(i)).c_str(), {100, 0, 0, 0}), i + 0.5) << i;
    }

    const auto after = Snapshot(dir);
    for (const auto& [name, bytes] : before) {
        EXPECT_GE(after.at(name).size(), bytes.size()) << WideToUtf8(name);
    }
    // The old records are untouched; the count counts what was stored.
    EXPECT_EQ(after.at(kFiles[0]).substr(0, 8), Head(4, kOldRecords + stored));
    EXPECT_EQ(after.at(kFiles[0]).substr(8, 48 * kOldRecords), db.substr(8));
    const std::vector<std::string> log = PluginLogLines();
    EXPECT_TRUE(AnyLineStartsWith(log, "写入数据失败,本次数值未保存 " + WideToUtf8(dir + L"\\" + kFiles[0]) + " 错误码="))
        << testing::PrintToString(log);
    if (tmpfs) {
        // Every new file needs room: the block edits are refused whole.
        EXPECT_EQ(added_dzh, 0.0);
        EXPECT_EQ(added_tdx, "-1");
        EXPECT_EQ(after.at(kFiles[1]), before.at(kFiles[1]));
        EXPECT_EQ(after.at(kFiles[2]), before.at(kFiles[2]));
        EXPECT_TRUE(AnyLineStartsWith(log, WideToUtf8(dir + L"\\" + kFiles[1]) + " 写入失败(错误码"))
            << testing::PrintToString(log);

        // The log's last page fills up too, and a line is cut there. Once
        // the disk has room again, the next line starts on a line of its own.
        const std::wstring log_file = PluginLog::Instance().Path();
        for (std::size_t size = 0, grown = 1; size != grown && grown < 65536;) {
            size = ReadFileBytes(log_file).size();
            CallOnLastBar(pintle_Log, "SH600000", {1});
            grown = ReadFileBytes(log_file).size();
        }
        ASSERT_TRUE(DeleteFileW((dir + L"\\filler").c_str()));
        CallOnLastBar(pintle_Log, "SH600000", {2});
        // Every line is whole, but for one cut where the disk filled up: a
        // start of a line of the loop above, never a line glued to another.
        const std::regex whole(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [^\r\n]*)");
        const auto start_of_a_line = [](const std::string& text) {
            const std::string form = "0000-00-00 00:00:00 600000:Log=1.000";
            for (std::size_t i = 0; i < text.size(); ++i) {
                const bool digit = i < 19 && form[i] == '0';
                if (i >= form.size() || (digit ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != form[i]))
                    return false;
            }
            return true;
        };
        const std::string bytes = ReadFileBytes(log_file);
        ASSERT_TRUE(bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n");
        int cut = 0;
        for (std::size_t at = 0, end; at < bytes.size(); at = end + 2) {
            end = bytes.find("\r\n", at);
            const std::string line = bytes.substr(at, end - at);
            if (std::regex_match(line, whole) && line.find("Log=", 31) == std::string::npos) continue;
            ++cut;
            EXPECT_TRUE(start_of_a_line(line)) << "not one line: " << line;
        }
        EXPECT_EQ(cut, 1) << "the disk never filled the log's last page";
        EXPECT_EQ(PluginLogLines().back(), "600000:Log=2.000");
    } else {
        // Only files past 16 KiB cannot grow: the small block files can.
        EXPECT_EQ(added_dzh, 1.0);
        EXPECT_EQ(after.at(kFiles[2]), "1600000\r\n0000001");
    }
}

void ReadOnlyDirectory(const std::wstring& dir) {
    const auto before = Snapshot(dir);
    for (const auto& [name, bytes] : before) ASSERT_FALSE(bytes.empty()) << WideToUtf8(name);
    PluginSandbox sandbox(dir);
    const std::wstring db = dir + L"\\" + kFiles[0];
    OpenOwnStore(db, true);

    EXPECT_EQ(CallOnLastBar(pintle_Set, "SH600000", {2.5, 100, 0, 0}), 1.0);
    EXPECT_EQ(CallOnLastBar(pintle_Set, "SH700000", {3.5, 100, 0, 0}), 1.0);
    EXPECT_EQ(CallOnLastBar(pintle_save2blk, "SH600001", {1, 3, 0}), 0.0);
    EXPECT_EQ(CallOnLastBar(pintle_del2blk, "SH600000", {1, 3}), 0.0);
    EXPECT_EQ(CallTdx(Tdx36, 2, 1, {3}), "-1");
    EXPECT_EQ(CallTdx(Tdx37, 600000, 1, {3}), "-1");
    EXPECT_EQ(CallOnLastBar(pintle_BlkCount, "SH600000", {3}), 1.0);
    EXPECT_EQ(CallTdx(Tdx38, 3, 0, {0}), "2");
    EXPECT_EQ(CallOnLastBar(pintle_Log, "SH600000", {1}), 1.0);

    EXPECT_EQ(Snapshot(dir), before);
    const std::vector<std::string> log = PluginLogLines();
    const std::string block = WideToUtf8(dir + L"\\" + kFiles[1]), tdx = WideToUtf8(dir + L"\\" + kFiles[2]);
    EXPECT_TRUE(Contains(log, "写文件失败 " + WideToUtf8(db))) << testing::PrintToString(log);
    EXPECT_TRUE(AnyLineStartsWith(log, block + " 写入失败(错误码")) << testing::PrintToString(log);
    EXPECT_TRUE(AnyLineStartsWith(log, tdx + " 写入失败(错误码")) << testing::PrintToString(log);
    EXPECT_TRUE(Contains(log, "600000:Log=1.000"));
}

// Each bounded, like every stress program: a hang ends the program with
// exit code 3 instead of waiting for the test runner's time-out.
TEST(DiskFaults, AFullDiskShortensNoFileAndTheLogSaysWhatFailed) {
    const std::wstring dir = Env(L"PINTLE_FULL_DISK_DIR");
    if (dir.empty()) GTEST_SKIP() << "run by disk_faults.sh, which makes the small file system";
    RunBounded(1, std::chrono::seconds(100), [&](int) { FullDisk(dir); });
}

TEST(DiskFaults, AReadOnlyTerminalDirectoryChangesNothingAndTheLogSaysWhatFailed) {
    const std::wstring dir = Env(L"PINTLE_READONLY_DIR");
    if (dir.empty()) GTEST_SKIP() << "run by disk_faults.sh, which makes the read-only directory";
    RunBounded(1, std::chrono::seconds(100), [&](int) { ReadOnlyDirectory(dir); });
}

}  // namespace
}  // namespace pintle::test
