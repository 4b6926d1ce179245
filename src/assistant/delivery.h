// Delivery: the one routine every command and quote ends in. Sends one
// WM_COPYDATA to the current assistant's main window (wParam: the terminal
// window) and then to the assistant's extra receiver windows.
#pragma once
#include <windows.h>

#include <cstdint>

#include "formats/command_record.h"

namespace pintle {

enum class Sender {
    DzhCommand,   // version gate; failure logged as the DZH kind
    TdxCommand,   // TDX commands, the value command, TDX function 23
    Quote,        // SENDQUOTE, TDX function 8, SendQuote: result not examined
    QuoteMarker,  // TDX markers: the result becomes the output
};

struct Delivery {
    bool had_window = false;    // the assistant's main window existed
    bool refused = false;       // the version gate stopped the command
    bool main_accepted = false; // the main window's answer was non-zero
};

Delivery Deliver(uint32_t kind, const void* data, uint32_t size, Sender sender);
// The same to the main window the sender already asked the link for in this
// call (null: no assistant, nothing is sent). Asking again would cost a
// window look-up and, while no assistant runs, a second reconnect attempt.
Delivery DeliverTo(HWND main_window, uint32_t kind, const void* data, uint32_t size, Sender sender);

// A command of the DZH or TDX sender, from `function`, to the main window the
// sender asked the link for. Without a window nothing is sent, and the log
// says which assistant number did not run, and what was not sent.
Delivery DeliverCommand(HWND main_window, uint32_t kind, const CommandRecord& rec, Sender sender,
                        const wchar_t* function);

// How long a send may wait for an assistant before it counts as failed: a
// hung assistant must not freeze the terminal's formula thread.
constexpr unsigned kSendTimeoutMs = 5000;

// One bounded WM_COPYDATA; true when delivered and answered non-zero. On
// failure the system error code is left for GetLastError (ERROR_TIMEOUT for
// a hung window, 0 for a window that answered 0).
bool SendCopyData(HWND to, HWND terminal_window, COPYDATASTRUCT& cds);

// The terminal's top-level window (first in z-order owned by this process).
HWND TerminalWindow();

}  // namespace pintle
