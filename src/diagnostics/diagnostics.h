// Log and MsgBox: formulas trace a value, with the code it was computed for,
// into the plug-in log or a message box. Answering a box with OK keeps every
// box of the plug-in (DZH MsgBox and TDX 17 alike) quiet for 30 seconds;
// any other answer ends the quiet period. A box that is still open counts
// as quiet too, so a recalculation inside the box's message loop does not
// stack a second box on the first.
//
// The log itself is log/plugin_log.h; this is what formulas call.
//
// Threads: the DZH functions take no call lock, and the DZH box is shown
// without it, so other formula functions run while it waits for the user.
// TDX 16 and 17 run under the call lock, which TDX 17 holds while its box is
// open. The quiet period start and the open-box count are single words.
#pragma once
#include <cstdint>
#include <string_view>

#include "formula/formula_call.h"

namespace pintle {

// The quiet period after an OK, in milliseconds.
constexpr uint32_t kMsgBoxQuietMs = 30000;

// Log: argument 1 the value. One log line "CODE:Log=VALUE"; 1.0 through the
// result writer. Returns 1, or 0 when the last-bar gate stops the call.
int32_t LogFormula(FormulaCall& call);
// MsgBox: as Log, but the line is shown in a message box (unless quiet).
int32_t MsgBoxFormula(FormulaCall& call);

// TDX 16 and 17: the code number and the value.
void TdxLogValue(float code_number, float value);
void TdxShowValue(float code_number, float value);

// The message box with OK and Cancel for a code and a value, unless a quiet
// period runs or another box of the plug-in is open.
void ShowValueBox(std::wstring_view code, double value);

// No quiet period, no box open (tests).
void ResetDiagnosticsState();

}  // namespace pintle
