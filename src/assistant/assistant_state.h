// What the assistant link keeps for the life of the loaded library: the
// current link and number, the connection-message throttle, each assistant
// number's directory, the terminal window cache and the throttles of the
// notice and of the lines about commands that were not sent. Touched only
// with the call lock held.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "assistant/assistant.h"
#include "assistant/link.h"
#include "common/throttle.h"

namespace pintle {

// A price that TDX function 15 gives the next order of one code, per side;
// a stamp of 0 means none.
struct PriceOverride {
    int32_t key = 0;
    float buy_price = 0;
    uint32_t buy_stamp = 0;
    float sell_price = 0;
    uint32_t sell_stamp = 0;
};

// Where one assistant number's program lives, read from the owner of the
// main window a link to that number last found.
struct AssistantHome {
    HWND window = nullptr;   // the window the directory was read for
    std::wstring directory;  // with a trailing backslash; empty when it could not be read
    uint32_t error = 0;      // why it could not be read
};

struct AssistantState {
    std::unique_ptr<AssistantLink> link;  // null before the first switch and after unload
    int32_t number = 0;
    int64_t connection_message_times[10] = {};
    std::map<int32_t, AssistantHome> homes;  // by assistant number, kept across switches
    HWND terminal_window = nullptr;
    int64_t last_notice_time = 0;
    bool query_api_used = false;          // an outside program asked for positions or orders
    PriceOverride price_override;
    bool tdx_order_ran = false;           // a TDX order ran since the last 999997 marker
    bool quote_push = false;              // quotes are being pushed to the assistant
    // (assistant number, function, code) of commands that found no assistant
    ThrottleTable<std::tuple<int32_t, std::wstring, std::wstring>> undelivered{60};
    ThrottleTable<std::wstring> empty_code{60};  // by function: orders without a code
    ThrottleTable<int32_t> unreadable_directory{300};  // by assistant number
};

AssistantState& Assistant();

// Notes the main window a link to assistant n found; a window not seen
// before for n has its program's directory read.
void NoteMainWindow(int32_t n, HWND window);
// Back to the state at load (tests).
void ResetAssistantState();

}  // namespace pintle
