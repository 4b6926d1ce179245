// The shared state block as a hostile or broken assistant might publish it:
// any counts (negative, huge, beyond the tables), any records, any receiver
// slots, and queries of any code, selector and index. No reader leaves the
// 425992 bytes (the block is a heap allocation of exactly that size, so one
// byte beyond is a report), and what they find lies inside the tables.
#include <cstring>
#include <memory>

#include "fuzz_check.h"
#include "state/block_readers.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

constexpr std::size_t kChoiceBytes = 96;

bool OddIsWindow(uint32_t handle) { return (handle & 1) != 0; }
bool EveryIsWindow(uint32_t) { return true; }

// Copies up to `room` bytes of the input into a table.
void Fill(void* table, std::size_t room, std::string_view& bytes, std::size_t want) {
    const std::size_t n = std::min({room, bytes.size(), want});
    std::memcpy(table, bytes.data(), n);
    bytes.remove_prefix(n);
}

int32_t HostileCount(FuzzedDataProvider& c) {
    switch (c.ConsumeIntegralInRange(0, 3)) {
        case 0: return c.ConsumeIntegralInRange(0, 1001);
        case 1: return c.ConsumeIntegralInRange(-2, 45);
        default: return c.ConsumeIntegral<int32_t>();
    }
}

std::wstring QueryCode(FuzzedDataProvider& c, const SharedStateBlock& b) {
    switch (c.ConsumeIntegralInRange(0, 3)) {
        case 0: return CodeText(b.positions[c.ConsumeIntegralInRange(0, 3)].code);
        case 1: return CodeText(b.orders[c.ConsumeIntegralInRange(0, 3)].code);
        case 2: return L"0" + CodeText(b.positions[c.ConsumeIntegralInRange(0, 3)].code);
        default: {
            std::wstring code;
            for (int n = c.ConsumeIntegralInRange(0, 12); n > 0; --n) code += static_cast<wchar_t>(c.ConsumeIntegral<uint16_t>());
            return code;
        }
    }
}

bool Inside(const PositionRecord* r, const PositionRecord* table, int32_t used) {
    return r >= table && r < table + used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const std::unique_ptr<SharedStateBlock> storage(new SharedStateBlock);
    SharedStateBlock& b = *storage;
    std::memset(&b, 0, sizeof b);

    SplitInput in(data, size, kChoiceBytes);
    FuzzedDataProvider& c = in.choices;
    std::string_view bytes = in.bytes;
    // The start of each table from the input, the rest left zero.
    Fill(&b, 184, bytes, c.ConsumeIntegralInRange<std::size_t>(0, 184));
    Fill(b.positions, sizeof b.positions, bytes, c.ConsumeIntegralInRange<std::size_t>(0, 68 * 8));
    Fill(b.orders, sizeof b.orders, bytes, c.ConsumeIntegralInRange<std::size_t>(0, 56 * 8));
    for (int k = 0; k < kReceiverSlots; ++k) {
        Fill(b.receiver_positions[k], sizeof b.receiver_positions[k], bytes, c.ConsumeIntegralInRange<std::size_t>(0, 68 * 4));
        b.refresh_receivers[k] = c.ConsumeIntegral<uint32_t>();
        b.receiver_entries[k].assistant = static_cast<float>(c.ConsumeIntegralInRange(-1, 10));
        b.receiver_entries[k].count = HostileCount(c);
    }
    Fill(&b.account5, 20, bytes, 20);
    b.position_count = HostileCount(c);
    b.order_count = HostileCount(c);
    // A record in the last place of each table, for counts that reach it.
    if (c.ConsumeBool()) std::memcpy(&b.positions[kPositionCapacity - 1], &b.positions[0], sizeof(PositionRecord));
    if (c.ConsumeBool()) std::memcpy(&b.orders[kOrderCapacity - 1], &b.orders[0], sizeof(OrderRecord));

    const int32_t used = UsedRecords(b.position_count, kPositionCapacity);
    const int32_t orders_used = UsedRecords(b.order_count, kOrderCapacity);
    FUZZ_CHECK(used >= 0 && used <= kPositionCapacity && orders_used >= 0 && orders_used <= kOrderCapacity);

    const int rounds = c.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < rounds; ++i) {
        const std::wstring code = QueryCode(c, b);
        const int32_t s = c.ConsumeBool() ? c.ConsumeIntegralInRange(-2, 11) : c.ConsumeIntegral<int32_t>();
        const int32_t selector = c.ConsumeIntegralInRange(-1, 10);
        const int32_t link = c.ConsumeIntegralInRange(-1, 10);
        const WindowCheck is_window = c.ConsumeBool() ? OddIsWindow : EveryIsWindow;

        const PositionRecord* found = FindPosition(b, code, s, link, is_window);
        if (found != nullptr) {
            bool inside = Inside(found, b.positions, used);
            for (int k = 0; k < kReceiverSlots && !inside; ++k)
                inside = Inside(found, b.receiver_positions[k], UsedRecords(b.receiver_entries[k].count, kPositionCapacity));
            FUZZ_CHECK(inside);
        }
        PositionValue(found, selector);

        const int64_t kind = c.ConsumeIntegralInRange<int64_t>(-1, 12);
        const int32_t filter = c.ConsumeIntegralInRange(-1, 3);
        const std::wstring order_code = c.ConsumeBool() ? std::wstring() : code;
        const std::vector<OrderRecord> orders = CollectOrders(b, order_code, kind, s, filter);
        FUZZ_CHECK(orders.size() <= static_cast<std::size_t>(orders_used));
        OrderValue(orders, selector, c.ConsumeIntegralInRange<int64_t>(0, int64_t{1} << 40));
        FUZZ_CHECK(JoinOrderCodes(orders).size() <= orders.size() * 11);

        AccountValue(b, selector, s);
        FUZZ_CHECK(CountHeldPositions(b, s) <= used);
        FUZZ_CHECK(HeldPositionCodes(b, s).size() <= static_cast<std::size_t>(used) * 11);
    }
    return 0;
}
