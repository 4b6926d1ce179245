// The Log and MsgBox formula functions and the message box's quiet period.
#include <windows.h>

#include <atomic>

#include "common/clock.h"
#include "common/format.h"
#include "common/text.h"
#include "diagnostics/diagnostics.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "log/plugin_log.h"

namespace pintle {
namespace {

constexpr wchar_t kLogLine[] = L"%s:Log=%.3f";
constexpr wchar_t kBoxText[] = L"%s: %.3f \n点 确定 ,30秒将内不再提示";
constexpr wchar_t kBoxTitle[] = L"Pintle.dll 提示信息";

// Tick count of the last OK; 0 when no quiet period runs.
std::atomic<uint32_t> g_quiet_start{0};
// Boxes of the plug-in open right now, on any thread.
std::atomic<int32_t> g_open_boxes{0};

class OpenBox {
public:
    OpenBox() { ++g_open_boxes; }
    ~OpenBox() { --g_open_boxes; }
    OpenBox(const OpenBox&) = delete;
    OpenBox& operator=(const OpenBox&) = delete;
};

std::wstring LabelCode(const FormulaCall& call) { return NormaliseCode(AnsiToWide(LabelText(call))); }

std::wstring TdxCode(float code_number) { return NormaliseCode(AnsiToWide(TdxCodeText(code_number))); }

void WriteLogLine(std::wstring_view code, double value) {
    PluginLog::Instance().WriteFormatted(kLogLine, {code, value});
}

}  // namespace

void ShowValueBox(std::wstring_view code, double value) {
    const std::wstring text = FormatText(kBoxText, {code, value});
    if (g_open_boxes.load() > 0) return;
    const uint32_t start = g_quiet_start.load();
    if (start != 0 && TickMs() - start <= kMsgBoxQuietMs) return;
    int answer = 0;
    {
        OpenBox open;
        answer = MessageBoxW(nullptr, text.c_str(), kBoxTitle, MB_OKCANCEL);
    }
    g_quiet_start.store(answer == IDOK ? TickMs() : 0);
}

int32_t LogFormula(FormulaCall& call) {
    const std::wstring code = LabelCode(call);
    if (!LastBarGate(call)) return 0;
    WriteLogLine(code, ReadArg(call, 1));
    WriteResult(call, 1.0f, false);
    return 1;
}

int32_t MsgBoxFormula(FormulaCall& call) {
    const std::wstring code = LabelCode(call);
    if (!LastBarGate(call)) return 0;
    ShowValueBox(code, ReadArg(call, 1));
    WriteResult(call, 1.0f, false);
    return 1;
}

void TdxLogValue(float code_number, float value) { WriteLogLine(TdxCode(code_number), value); }

void TdxShowValue(float code_number, float value) { ShowValueBox(TdxCode(code_number), value); }

void ResetDiagnosticsState() {
    g_quiet_start.store(0);
    g_open_boxes.store(0);
}

}  // namespace pintle
