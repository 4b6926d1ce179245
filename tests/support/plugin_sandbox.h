// Runs the plug-in's static library in a test as if freshly loaded by a
// terminal in `dir`: the log goes there, and no assistant link, quote batch,
// throttle, open store or cache survives from an earlier test. Everything is put back at the end.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assistant/assistant_state.h"
#include "assistant/quotes.h"
#include "blocks/blocks.h"
#include "common/clock.h"
#include "common/paths.h"
#include "common/settings.h"
#include "diagnostics/diagnostics.h"
#include "log/plugin_log.h"
#include "net/net.h"
#include "screening/screening.h"
#include "state/state.h"
#include "store/store.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {

class PluginSandbox {
public:
    explicit PluginSandbox(const std::wstring& dir) {
        SetTerminalDirectoryForTesting(dir);
        Reset();
    }
    ~PluginSandbox() {
        SetTerminalDirectoryForTesting(L"");
        Reset();
    }
    PluginSandbox(const PluginSandbox&) = delete;
    PluginSandbox& operator=(const PluginSandbox&) = delete;

private:
    static void Reset() {
        ResetAssistantState();
        ResetQuoteBatch();
        ResetSettings();
        ResetStoreState();
        ResetDatedHistoryState();
        ResetNetState();
        ResetBlocksState();
        ResetScreeningState();
        ResetDiagnosticsState();
        ResetStateQueries();
        PluginLog::Instance().Reopen();
    }
};

// The plug-in log's lines in this process, without their time stamps.
inline std::vector<std::string> PluginLogLines() { return LogMessagesOf(ReadFileBytes(PluginLog::Instance().Path())); }

// A fixture for in-process tests: a fresh terminal directory (named after
// the test suite) with the plug-in sandboxed in it, and the manual clock.
class SandboxTest : public ::testing::Test {
protected:
    // A file of the terminal directory (the own store's by default).
    std::string Bytes(const std::wstring& file = L"data.db") const { return ReadFileBytes(dir_.File(file)); }
    static std::vector<std::string> Log() { return PluginLogLines(); }
    // Pintle.ini beside the terminal with these [Settings] lines, read as at load.
    void UseSettings(const std::string& lines) {
        WriteFileBytes(dir_.File(L"Pintle.ini"), "[Settings]\r\n" + lines);
        LoadSettings();
    }

    static std::wstring SuiteName() {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
        return std::wstring(name.begin(), name.end());
    }
    TempDir dir_{SuiteName()};
    ManualClock clock_;  // 2026-03-05 09:30:05 local
    ScopedClock installed_{clock_};
    PluginSandbox sandbox_{dir_.path()};
};

}  // namespace pintle::test
