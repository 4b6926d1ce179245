// Runs the plug-in's static library in a test as if freshly loaded by a
// terminal in `dir`: the log goes there, and no assistant link, quote batch,
// throttle, open store or cache survives from an earlier test. Everything is put back at the end.
#pragma once
#include <string>

#include "assistant/assistant_state.h"
#include "assistant/quotes.h"
#include "blocks/blocks.h"
#include "common/paths.h"
#include "common/settings.h"
#include "diagnostics/diagnostics.h"
#include "log/plugin_log.h"
#include "net/net.h"
#include "screening/screening.h"
#include "state/state.h"
#include "store/store.h"

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

}  // namespace pintle::test
