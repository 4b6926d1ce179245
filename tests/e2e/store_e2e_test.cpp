// The stores against real processes: the load sequence of the built DLL in a
// stand-in terminal, the stand-in assistant writing its own store while the
// plug-in reads it, and the inspector (two terminals writing one data.db at
// once: tests/stress).
#include <gtest/gtest.h>

#include <windows.h>


#include "assistant/assistant.h"
#include "assistant/assistant_state.h"
#include "common/text.h"
#include "log/plugin_log.h"
#include "store/store.h"
#include "support/kovalt_process.h"
#include "support/plugin_sandbox.h"
#include "support/store_bytes.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

const std::string kAttach = "Pintle.dll Version(3.3.7.5Varo专用) Attach Terminal.exe";
const std::string kDetach = "~Pintle.dll Version(3.3.7.5) DeAttach Terminal.exe";

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

TEST(Load, OpensTheOwnStoreWherePintleIniSays) {
    AssistantsLock nobody_else;
    const std::string no_link =
        "不能连接编号为 0 的 助手,  Pintle.dll将不能连接助手下单 错误=2, "
        "请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试";
    const std::string not_running = "无法连接到自动交易，自动交易软件未启动";
    struct Case { std::wstring path, existing, file; bool trade_self_data; };
    // Paths below the terminal's own directory stand for D:\Data, D:\TradeSelfData and D:\x\data.db.
    const std::vector<Case> cases = {{L"", L"", L"TradeSelfData\\data.db", true},
                                     {L"Data", L"", L"Data\\TradeSelfData\\data.db", false},
                                     {L"TradeSelfData", L"TradeSelfData", L"TradeSelfData\\data.db", true},
                                     {L"x\\data.db", L"x", L"x\\data.db", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        Terminal terminal;
        const std::wstring base = terminal.dir() + L"\\";
        if (!c.path.empty()) WriteFileBytes(terminal.File(L"Pintle.ini"), "[Settings]\r\npath=" + Utf8(base + c.path) + "\r\n");
        if (!c.existing.empty()) {
            CreateDirectoryW((base + c.existing).c_str(), nullptr);
            WriteFileBytes(base + c.file, Head(4, 0));
        }
        terminal.Run({L"call", L"RUNMODE"});
        std::vector<std::string> expected = {kAttach, no_link, not_running};
        if (!c.path.empty() && c.existing.empty()) expected.push_back("读文件失败 " + Utf8(base + c.file));
        if (!c.path.empty()) expected.push_back("配置了自定义数据路径=" + Utf8(base + c.file) + " 只读模式,只能Get不能Set ");
        expected.push_back(kDetach);
        EXPECT_EQ(terminal.LogMessages(), expected);
        // Only the default place is created, and created as an empty version-4 file.
        EXPECT_EQ(FileExists(base + L"TradeSelfData"), c.trade_self_data);
        EXPECT_FALSE(FileExists(base + L"Data"));
        EXPECT_EQ(ReadFileBytes(base + c.file), c.path.empty() || !c.existing.empty() ? Head(4, 0) : "");
    }
}

TEST(Load, OpensTheAssistantStoreBesideTheRunningAssistant) {
    TempDir work(L"load-store"), home(L"kovalt-home");
    KovaltProcess kovalt({.number = 0, .exe_dir = home.path()}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    terminal.Run({L"call", L"RUNMODE"});
    const std::string missing = "读文件失败 " + Utf8(home.File(L"TradeSelfData\\data.db"));
    EXPECT_EQ(terminal.LogMessages(), (std::vector<std::string>{kAttach, missing, kDetach}));
    ASSERT_TRUE(kovalt.StoreValue(L"600000 0 0 100 0 1.5"));
    terminal.Run({L"call", L"RUNMODE"});
    EXPECT_EQ(terminal.LogMessages(), (std::vector<std::string>{kAttach, missing, kDetach, kAttach, kDetach}));
}

TEST(AssistantStore, ReadsWhatEachAssistantWritesBesideItsOwnExecutable) {
    TempDir work(L"assistant-store"), home3(L"kovalt3"), home4(L"kovalt4");
    PluginSandbox sandbox(work.path());
    // Assistant 4 keeps an old version-2 file and writes it in that layout.
    CreateDirectoryW(home4.File(L"TradeSelfData").c_str(), nullptr);
    WriteFileBytes(home4.File(L"TradeSelfData\\data.db"), Head(2, 1) + Rec40("600000", 0, 100, 0, 9, 1000));
    KovaltProcess kovalt3({.number = 3, .exe_dir = home3.path()}, work.path());
    KovaltProcess kovalt4({.number = 4, .exe_dir = home4.path()}, work.path());
    ASSERT_TRUE(kovalt3.Started() && kovalt4.Started());
    auto read = [](const char* code) { return CurrentAssistantStore().ReadValue(code, 0, 0, 100).value; };

    ManualClock clock;
    ScopedClock installed(clock);
    SwitchAssistant(3);
    // No file yet: tried again on every read, said once in 300 s.
    for (const int wait : {0, 0, 299, 1}) {
        clock.AdvanceSeconds(wait);
        EXPECT_EQ(read("600000"), 0.0);
    }
    ASSERT_TRUE(kovalt3.StoreValue(L"600000 0 0 100 0 1.5"));
    EXPECT_EQ(read("600000"), 1.5);
    ASSERT_TRUE(kovalt3.StoreValue(L"600000 0 0 100 0 2.5"));
    EXPECT_EQ(read("600000"), 2.5);
    EXPECT_EQ(read("000001"), 0.0);
    ASSERT_TRUE(kovalt3.StoreValue(L"000001 0 0 100 0 7"));
    EXPECT_EQ(read("000001"), 7.0);
    ASSERT_TRUE(kovalt3.StoreValue(L"600000 1 0 10001 3 4.5 1772674205"));
    const auto history = CurrentAssistantStore().ReadHistory("600000", 1, 0, 10001, 3);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].time, 1772674205u);
    EXPECT_EQ(history[0].value, 4.5);

    SwitchAssistant(4);
    EXPECT_EQ(read("600000"), 9.0);
    ASSERT_TRUE(kovalt4.StoreValue(L"600000 0 0 100 0 10"));
    EXPECT_EQ(read("600000"), 10.0);
    EXPECT_EQ(ReadFileBytes(home4.File(L"TradeSelfData\\data.db")).size(), 8u + 40u);
    SwitchAssistant(3);
    EXPECT_EQ(read("600000"), 2.5);

    const std::string missing = "读文件失败 " + Utf8(home3.File(L"TradeSelfData\\data.db"));
    EXPECT_EQ(LogMessagesOf(ReadFileBytes(PluginLog::Instance().Path())), (std::vector<std::string>{missing, missing}));

    // A window whose program's directory cannot be read: nothing to open,
    // said once in 300 s per number.
    Assistant().homes[5] = {kovalt3.MainWindow(), L"", 5};
    for (const int wait : {0, 0, 300}) {
        clock.AdvanceSeconds(wait);
        EXPECT_EQ(AssistantDirectoryOf(5), L"");
    }
    const std::string unreadable = "助手5的程序目录无法读取(错误码5),读不到助手数据";
    EXPECT_EQ(LogMessagesOf(ReadFileBytes(PluginLog::Instance().Path())),
              (std::vector<std::string>{missing, missing, unreadable, unreadable}));
}

TEST(Inspect, PrintsEveryRecordAndFlagsWhatAReaderWouldDistrust) {
    TempDir dir(L"inspect");
    WriteFileBytes(dir.File(L"data.db"), Head(4, 3) + Rec48("600000", 2, 0, 100, 0, 1.5, 1772674205) +
                                             Rec48("\xC8\xAB\xBE\xD6", 0, 1, 101, 0, -2, 0) + "torn");
    const RunResult run = RunProcess(BuildFile(L"pintle-inspect.exe"), L"--json \"" + dir.File(L"data.db") + L"\"", L"");
    EXPECT_EQ(run.exit_code, 0u);
    const std::string path = Utf8(dir.File(L"data.db"));
    std::string escaped;
    for (const char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(run.out,
              "{\"type\":\"data.db\",\"path\":\"" + escaped +
                  "\",\"file_size\":108,\"version\":4,\"count\":3,\"record_size\":48,\"whole_records\":2}\n"
                  "{\"type\":\"warning\",\"text\":\"count 3 is beyond the end of the file, which holds 2 whole records\"}\n"
                  "{\"type\":\"warning\",\"text\":\"torn last record: 4 bytes after record 2 do not make a whole record\"}\n"
                  "{\"type\":\"record\",\"index\":0,\"code\":\"600000\",\"qualifier\":2,\"assistant\":0,\"slot\":100,"
                  "\"period\":0,\"value\":1.5,\"time\":1772674205,\"local_time\":\"2026-03-05 09:30:05\"}\n"
                  "{\"type\":\"record\",\"index\":1,\"code\":\"全局\",\"code_bytes\":\"c8abbed6\",\"qualifier\":0,"
                  "\"assistant\":1,\"slot\":101,\"period\":0,\"value\":-2,\"time\":0,\"local_time\":\"1970-01-01 08:00:00\"}\n");
}

TEST(Inspect, PrintsBlockFilesOfBothTerminals) {
    TempDir dir(L"inspect-blocks");
    CreateDirectoryW(dir.File(L"blocknew").c_str(), nullptr);
    using namespace std::string_literals;
    WriteFileBytes(dir.File(L"自选股1.BLK"), "\xA5\0\0\0SH600000\0\0\0\0BJ430047\0\0\0\0SZ00"s);
    WriteFileBytes(dir.File(L"blocknew\\ZXG1.blk"), "1600000\r\n0000001");
    const RunResult run = RunProcess(BuildFile(L"pintle-inspect.exe"),
                                     L"\"" + dir.File(L"自选股1.BLK") + L"\" \"" + dir.File(L"blocknew\\ZXG1.blk") + L"\"", L"");
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.out,
              "dzh-block path=" + Utf8(dir.File(L"自选股1.BLK")) +
                  " file_size=32 format=165 header_size=4 record_size=12 whole_records=2 terminal_count=2 "
                  "scanned=true\n"
                  "warning: torn last record: 4 bytes after record 2 do not make a whole record\n"
                  "entry index=0 offset=4 text=SH600000\n"
                  "tdx-block path=" + Utf8(dir.File(L"blocknew\\ZXG1.blk")) + " file_size=16 lines=2\n"
                  "line index=0 text=1600000 market=1 code=600000\n"
                  "line index=1 text=0000001 market=0 code=000001\n");
}

}  // namespace
}  // namespace pintle::test
