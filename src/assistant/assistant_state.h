// What the assistant link keeps for the life of the loaded library: the
// current link and number, the connection-message throttle, the assistant
// directory, the terminal window cache and the notice throttle. Touched only
// with the call lock held.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "assistant/assistant.h"
#include "assistant/link.h"

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

struct AssistantState {
    std::unique_ptr<AssistantLink> link;  // null before the first switch and after unload
    int32_t number = 0;
    int64_t connection_message_times[10] = {};
    std::wstring directory;               // of the assistant's executable, with a trailing backslash
    HWND terminal_window = nullptr;
    int64_t last_notice_time = 0;
    bool query_api_used = false;          // an outside program asked for positions or orders
    PriceOverride price_override;
    bool tdx_order_ran = false;           // a TDX order ran since the last 999997 marker
    bool quote_push = false;              // quotes are being pushed to the assistant
};

AssistantState& Assistant();

// Recomputes the assistant directory when it no longer names an existing path.
void RefreshAssistantDirectory();
// Back to the state at load (tests).
void ResetAssistantState();

}  // namespace pintle
