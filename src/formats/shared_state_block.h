// SharedStateBlock: the 425992-byte block an assistant publishes in the file
// mapping "KovaltFileMappingObject" (followed by its number when not 0) and
// rewrites under the named mutex "Global\KovaltShare". The plug-in only reads
// it. Window handles are 32-bit values widened by zero extension; codes are
// UTF-16LE, zero-terminated, in 20-byte fields. The counts are written by
// the assistant and are not to be trusted: readers clamp them to the
// capacities below.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pintle {

constexpr std::size_t kSharedStateBlockSize = 425992;
constexpr int32_t kMinimumAssistantVersion = 30800;
constexpr wchar_t kBlockMutexName[] = L"Global\\KovaltShare";
constexpr wchar_t kMappingBaseName[] = L"KovaltFileMappingObject";

#pragma pack(push, 4)

struct PositionRecord {           // 68 bytes
    char16_t code[10];
    int32_t value0;
    int32_t value1;
    float value2_to_9[8];          // position values 2..9
    float selector_index;
    uint8_t reserved64[4];
};

struct OrderRecord {              // 56 bytes
    int32_t trade_kind;
    char16_t code[10];
    int32_t quantity;
    uint8_t reserved28[4];
    int64_t time;                  // seconds since 1970 UTC
    int32_t filled;
    float selector_index;
    float filter;
    uint8_t reserved52[4];
};

struct RefreshReceiverEntry {     // 188 bytes
    float assistant;               // assistant number this window serves
    uint8_t reserved4[176];
    int32_t count;                 // records used in this window's position table
    uint8_t reserved184[4];
};

constexpr int kPositionCapacity = 1000;
constexpr int kOrderCapacity = 43;
constexpr int kReceiverSlots = 5;

struct SharedStateBlock {
    float account0;
    float account1;
    float account3;                // figures 2 and 3 stand in reverse order
    float account2;
    float account0_by_index[10];
    float account1_by_index[10];
    float account3_by_index[10];
    float account2_by_index[10];
    int32_t position_count;
    int32_t order_count;
    PositionRecord positions[kPositionCapacity];
    OrderRecord orders[kOrderCapacity];
    uint32_t extra_receivers[kReceiverSlots];
    uint8_t reserved70612[376];
    uint32_t main_window;
    uint32_t refresh_receivers[kReceiverSlots];
    PositionRecord receiver_positions[kReceiverSlots][kPositionCapacity];
    uint8_t reserved411012[14004];
    RefreshReceiverEntry receiver_entries[kReceiverSlots];
    uint8_t reserved425956[4];
    float account5;
    float account6;
    float account7;
    float account8;
    int32_t version;
    uint8_t reserved425980[12];
};

#pragma pack(pop)

static_assert(sizeof(PositionRecord) == 68);
static_assert(offsetof(PositionRecord, code) == 0);
static_assert(offsetof(PositionRecord, value0) == 20);
static_assert(offsetof(PositionRecord, value1) == 24);
static_assert(offsetof(PositionRecord, value2_to_9) == 28);
static_assert(offsetof(PositionRecord, value2_to_9) + 7 * sizeof(float) == 56);  // value 9
static_assert(offsetof(PositionRecord, selector_index) == 60);
static_assert(offsetof(PositionRecord, reserved64) == 64);

static_assert(sizeof(OrderRecord) == 56);
static_assert(offsetof(OrderRecord, trade_kind) == 0);
static_assert(offsetof(OrderRecord, code) == 4);
static_assert(offsetof(OrderRecord, quantity) == 24);
static_assert(offsetof(OrderRecord, time) == 32);
static_assert(offsetof(OrderRecord, filled) == 40);
static_assert(offsetof(OrderRecord, selector_index) == 44);
static_assert(offsetof(OrderRecord, filter) == 48);
static_assert(offsetof(OrderRecord, reserved52) == 52);

static_assert(sizeof(RefreshReceiverEntry) == 188);
static_assert(offsetof(RefreshReceiverEntry, assistant) == 0);
static_assert(offsetof(RefreshReceiverEntry, count) == 180);

static_assert(offsetof(SharedStateBlock, account0) == 0);
static_assert(offsetof(SharedStateBlock, account1) == 4);
static_assert(offsetof(SharedStateBlock, account3) == 8);
static_assert(offsetof(SharedStateBlock, account2) == 12);
static_assert(offsetof(SharedStateBlock, account0_by_index) == 16);
static_assert(offsetof(SharedStateBlock, account1_by_index) == 56);
static_assert(offsetof(SharedStateBlock, account3_by_index) == 96);
static_assert(offsetof(SharedStateBlock, account2_by_index) == 136);
static_assert(offsetof(SharedStateBlock, position_count) == 176);
static_assert(offsetof(SharedStateBlock, order_count) == 180);
static_assert(offsetof(SharedStateBlock, positions) == 184);
static_assert(offsetof(SharedStateBlock, orders) == 68184);
static_assert(sizeof(SharedStateBlock::positions) == 68000);
static_assert(offsetof(SharedStateBlock, orders) + sizeof(SharedStateBlock::orders) ==
              offsetof(SharedStateBlock, extra_receivers));  // 43 orders fill the gap exactly
static_assert(offsetof(SharedStateBlock, extra_receivers) == 70592);
static_assert(offsetof(SharedStateBlock, reserved70612) == 70612);
static_assert(offsetof(SharedStateBlock, main_window) == 70988);
static_assert(offsetof(SharedStateBlock, refresh_receivers) == 70992);
static_assert(offsetof(SharedStateBlock, receiver_positions) == 71012);
static_assert(sizeof(SharedStateBlock::receiver_positions[0]) == 68000);  // slot k at 71012 + 68000 k
static_assert(offsetof(SharedStateBlock, reserved411012) == 411012);
static_assert(offsetof(SharedStateBlock, receiver_entries) == 425016);
static_assert(offsetof(SharedStateBlock, reserved425956) == 425956);
static_assert(offsetof(SharedStateBlock, account5) == 425960);
static_assert(offsetof(SharedStateBlock, account6) == 425964);
static_assert(offsetof(SharedStateBlock, account7) == 425968);
static_assert(offsetof(SharedStateBlock, account8) == 425972);
static_assert(offsetof(SharedStateBlock, version) == 425976);
static_assert(offsetof(SharedStateBlock, reserved425980) == 425980);
static_assert(sizeof(SharedStateBlock) == kSharedStateBlockSize);

}  // namespace pintle
