// CommandRecord: the 196-byte record every command to the assistant carries
// in WM_COPYDATA (lpData), with the command kind as dwData. Little-endian,
// packed exactly as laid out; every field a sender does not set is zero.
// Shared by the DLL, the stand-in assistant and the tests.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pintle {

constexpr uint32_t kCommandRecordId = 1001;

// dwData of the WM_COPYDATA envelope.
enum CommandKind : uint32_t {
    kKindOrder = 1,
    kKindRefreshRequest = 2,
    kKindOrderManagement = 3,
    kKindSingleQuote = 5,
    kKindAutomation = 6,
    kKindRefresh = 8,
    kKindMessages = 11,
    kKindQuoteList = 12,
    kKindData = 99,
};

#pragma pack(push, 1)
struct CommandRecord {
    uint32_t id;              // always 1001
    int32_t sub_kind;
    char code[128];           // ANSI text, zero-terminated
    int32_t quantity;         // orders; otherwise a second integer argument
    float price;              // orders; otherwise a value
    int32_t data_value;       // data command (kind 99)
    int32_t formula;          // formula number (100 and above: a basket) or first integer argument
    int32_t assistant;        // assistant number current when sent
    uint8_t reserved156[4];
    int32_t selector_index;   // -1 when none
    int32_t query_api;        // 1 once an outside program queried positions or orders
    float quantity_unit;      // 1000.0 convertible bonds; 1.0 Halvane host; else 0.0
    int32_t period;           // chart period code (DZH); 0 from TDX
    uint32_t last_bar_time;   // DZH; 0 from TDX
    int32_t zero180;
    int32_t raw_arg4;         // argument 4 as an integer (DZH); 0 from TDX
    float zero188;
    float zero192;
};
#pragma pack(pop)

static_assert(sizeof(CommandRecord) == 196);
static_assert(offsetof(CommandRecord, id) == 0);
static_assert(offsetof(CommandRecord, sub_kind) == 4);
static_assert(offsetof(CommandRecord, code) == 8);
static_assert(offsetof(CommandRecord, quantity) == 136);
static_assert(offsetof(CommandRecord, price) == 140);
static_assert(offsetof(CommandRecord, data_value) == 144);
static_assert(offsetof(CommandRecord, formula) == 148);
static_assert(offsetof(CommandRecord, assistant) == 152);
static_assert(offsetof(CommandRecord, reserved156) == 156);
static_assert(offsetof(CommandRecord, selector_index) == 160);
static_assert(offsetof(CommandRecord, query_api) == 164);
static_assert(offsetof(CommandRecord, quantity_unit) == 168);
static_assert(offsetof(CommandRecord, period) == 172);
static_assert(offsetof(CommandRecord, last_bar_time) == 176);
static_assert(offsetof(CommandRecord, zero180) == 180);
static_assert(offsetof(CommandRecord, raw_arg4) == 184);
static_assert(offsetof(CommandRecord, zero188) == 188);
static_assert(offsetof(CommandRecord, zero192) == 192);

// Message posted to the assistant's main window: wParam a code, lParam an
// assistant number or a screening kind number.
constexpr unsigned kAssistantNoticeMessage = 1142;

}  // namespace pintle
