/*
 * pintle.h - the C interface of Pintle.dll, for programs that run inside a
 * stock-charting terminal's process beside the plug-in (another plug-in, a
 * helper DLL, a test program) and want the assistant's positions, orders
 * and account figures as the plug-in's formulas see them.
 *
 * Link with the import library built next to Pintle.dll: Pintle.lib (MSVC)
 * or libPintle.dll.a (mingw-w64). Pintle.dll is a 64-bit DLL; on x64 there
 * is one calling convention, so nothing more needs to be said about it.
 *
 * Assistant selector. Every function takes one, as formulas do: its last
 * decimal digit is the assistant number (0 to 9), the digits above it minus
 * one select one account of that assistant (the selector index). 7 means
 * assistant 7, whole account; 23 means assistant 3, account index 1; 10
 * means assistant 0, account index 0.
 *
 * THE SELECTOR CHANGES THE PLUG-IN'S CURRENT ASSISTANT. The plug-in talks to
 * one assistant at a time. A call with another assistant number makes that
 * assistant current for every later call in the process: for the next
 * formulas of both terminals and, since TDX formulas never choose an
 * assistant themselves, for the TDX terminal's later orders too, until some
 * formula or call chooses another. Pass the number your users' formulas
 * use, or choose it back when you are done. Switching to an assistant that
 * cannot be reached writes the plug-in's connection-failure line to the
 * day's log ("不能连接编号为 ..."), as a formula's call would, at most once
 * every 300 s per assistant number.
 *
 * Threads. Call from any thread. Each call waits for a running formula call
 * to finish and holds the plug-in's call lock while it works, so the current
 * assistant and the returned texts never change under a formula, nor under
 * another call of this interface. A call may wait up to a few seconds while
 * the assistant republishes its state.
 *
 * Without an assistant, or with one that publishes nothing, the values are
 * 0 and the texts empty. No function here writes to the plug-in's log.
 *
 * Once GetAllPositionCode, GetAllPositionCodeA or GetAllOrderCode has been
 * called, every later command of a DZH-style formula tells the assistant so
 * (the query-API flag of the command record).
 */
#ifndef PINTLE_H
#define PINTLE_H

#include <stdint.h>
#include <wchar.h>

#ifndef PINTLE_API
#define PINTLE_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Position value `position_selector` (0 to 9) of `code` in the chosen
 * assistant's position tables; values 0 and 1 are whole numbers. 0 when the
 * code is not held there, for any other selector, and for a null code.
 * `code` is compared as given (no market prefix is removed): "600000", not
 * "SH600000". A five-character code of the assistant ("00700") also answers
 * the six-character code that ends with it ("000700").
 */
PINTLE_API float GetPosInfo(const wchar_t* code, int32_t position_selector, int32_t assistant_selector);

/*
 * Account figure `account_selector` of the chosen assistant: 0 to 3 the
 * assistant's figures (for the account of the selector index, when there is
 * one), 4 the number of held positions, 5 to 8 further figures of the whole
 * account only. Any other selector gives 0. `code` is not used and may be
 * null.
 */
PINTLE_API float GetAccountInfo(const wchar_t* code, int32_t account_selector, int32_t assistant_selector);

/*
 * The codes of the held positions (of the selector index's account, when
 * there is one), separated by commas, for example L"600000,000001".
 * The text belongs to the plug-in: do not free or change it. It stays valid
 * until the next call of GetAllPositionCode or GetAllPositionCodeA (from any
 * thread) or until Pintle.dll is unloaded; copy it if you keep it.
 * Never null.
 */
PINTLE_API const wchar_t* GetAllPositionCode(int32_t assistant_selector);

/*
 * The text of GetAllPositionCode (which it calls, with the same effects) in
 * the system ANSI code page, copied into `buffer` of `size` bytes: at most
 * `size` bytes of text, followed by a zero byte when there is room for one.
 * A text of exactly `size` bytes or more FILLS THE BUFFER WITHOUT A
 * TERMINATOR, so pass one byte more than the longest text you accept.
 * A null buffer or a size of 0 or less writes nothing.
 */
PINTLE_API void GetAllPositionCodeA(char* buffer, int32_t size, int32_t assistant_selector);

/*
 * The codes of the chosen assistant's orders of one trade kind (counted from
 * 1: kind 1 is the assistant's kind 0), in the assistant's order, separated
 * by commas; a code appears once per order. Same ownership and lifetime as
 * GetAllPositionCode, until the next call of GetAllOrderCode. Never null.
 */
PINTLE_API const wchar_t* GetAllOrderCode(int32_t assistant_selector, int32_t trade_kind_from_1);

#ifdef __cplusplus
}
#endif

#endif /* PINTLE_H */
