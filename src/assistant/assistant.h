// What the assistant link offers the rest of the plug-in: choosing the
// current assistant, its main window and directory, the current link's block
// for the state readers, the DZH and TDX command senders, the value command
// and the assistant notice. Other subsystems include this
// header only, never the link's internals. Everything here runs with the
// call lock held, except where a comment says otherwise.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "formula/formula_call.h"

namespace pintle {

struct SharedStateBlock;

// The current assistant number (0 at load).
int32_t CurrentAssistantNumber();
// Replaces the current link by a new one for number n (even when n is the
// current number, and even when it cannot connect).
void SwitchAssistant(int32_t n);
// Switches only when n is not the current number (or no link exists yet).
void SelectAssistant(int32_t n);
// The current link's main window, or null without a link or a window.
HWND CurrentMainWindow();
// The directory of assistant n's executable, with a trailing backslash,
// where that assistant keeps its own files: read from the owner of n's main
// window whenever a link to n finds a main window it had not seen, and kept
// for n across switches. Empty while no window of n was ever seen, and when
// the directory could not be read (the log then says so, at most once per
// number in 300 s).
const std::wstring& AssistantDirectoryOf(int32_t n);
// Closes and destroys the current link (unload).
void CloseAssistant();
// Drive and directory, with a trailing backslash, of the executable that owns
// the window (the directory of that assistant's own files); empty when any
// step fails, with that step's system error code in `error`.
std::wstring AssistantExecutableDirectory(HWND window, uint32_t* error = nullptr);

// The current link's block, for the state readers. The poll may reconnect
// or drop the view, so take the block only after polling.
//
// Sends a refresh request when 3000 ms have passed since the link's last
// one; true when the block is mapped (false without a link).
bool PollCurrentLink();
// The mapped block, or null without a link or a view.
const SharedStateBlock* CurrentBlock();
// The named mutex that guards it, or null (then read unlocked).
HANDLE CurrentBlockMutex();
// What the current link's next refresh request carries: the code of the
// position lookup (ANSI text) and the extended-fields flag. No-ops without
// a link.
void SetLookupCode(std::string ansi_code);
void SetExtendedFields(bool on);
// An outside program asked for all held or ordered codes: from now on every
// DZH command record carries the query-API flag.
void MarkQueryApiUsed();

// Process id of the first running process with that executable file name
// (ASCII case ignored), or 0.
uint32_t FindProcess(const wchar_t* exe_name);

// Every command names the function it comes from, as the log names it: the
// export's own name for DZH ("BUY", "CancelOrder", "Set"), "TDXDLL1(" and
// the number for TDX ("TDXDLL1(1"). A command that reaches delivery while
// its assistant has no main window is not sent, and the log says so
// ("助手%d未运行,未发出 %s %s": number, function, code) at most once a
// minute per assistant number, function and code.

// The DZH command sender: turns a DZH-style formula call into a
// CommandRecord of that kind for the current assistant. Always returns 0
// (what the command exports return).
int32_t SendDzhCommand(const wchar_t* function, uint32_t kind, int32_t sub_kind, FormulaCall& call, bool unit_1000,
                       bool write_results);

// The TDX command sender: a CommandRecord from TDX inputs for the current
// assistant. Gives 1 when the command reached delivery (with or without an
// assistant window), 0 when it was dropped. kind -1 means an order (kind 1).
int32_t SendTdxCommand(const wchar_t* function, float code_number, const std::string& code_text, int32_t sub_kind,
                       int32_t formula, float quantity, int32_t kind, bool unit_1000);

// Forwards a stored value to the assistant (kind 3 with a slot as sub-kind);
// returns 1.
int32_t SendValueCommand(const wchar_t* function, std::string_view code, int32_t sub_kind, int32_t integer,
                         float value);

// Whether quotes are being pushed to the assistant (SendQuote field 4 or a
// TDX quote marker since load): the assistant's store then changes often.
bool QuotePushActive();

// 市场情绪 in GBK: the code text of the market sentiment rating.
inline constexpr char kMarketSentimentGbk[] = "\xCA\xD0\xB3\xA1\xC7\xE9\xD0\xF7";

// Message 1142 posted to the assistant's main window, at most one per 3
// seconds for the whole process. Without a window the optional text goes to
// the log instead.
void PostAssistantNotice(int32_t code, int32_t number, const wchar_t* text);

}  // namespace pintle
