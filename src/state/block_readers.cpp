#include "state/block_readers.h"

#include <algorithm>
#include <cmath>

namespace pintle {
namespace {

constexpr std::size_t kCodeUnits = 10;

std::size_t CodeLength(const char16_t (&field)[10]) {
    std::size_t n = 0;
    while (n < kCodeUnits && field[n] != 0) ++n;
    return n;
}

bool SameUnits(const char16_t* field, std::size_t length, std::wstring_view query) {
    if (length != query.size()) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<uint32_t>(field[i]) != static_cast<uint32_t>(query[i])) return false;
    }
    return true;
}

// Selector indexes are stored as floats holding whole numbers.
bool SameIndex(float stored, int32_t s) { return stored == static_cast<float>(s); }

// The order selection of CollectOrders.
bool OrderSelected(const OrderRecord& r, std::wstring_view code, int64_t kind, int32_t s, int32_t f) {
    if (r.trade_kind != kind) return false;
    if (!code.empty() && !CodeMatches(r.code, code)) return false;
    if (s >= 0 && !SameIndex(r.selector_index, s)) return false;
    return f < 1 || r.filter == static_cast<float>(f);
}

}  // namespace

int32_t UsedRecords(const int32_t& count, int32_t capacity) {
    // One read: the assistant may rewrite the block when no mutex could be
    // had, and a count that changes between test and use must not count.
    const int32_t n = static_cast<const volatile int32_t&>(count);
    return std::clamp(n, 0, capacity);
}

std::wstring CodeText(const char16_t (&field)[10]) {
    const std::size_t n = CodeLength(field);
    std::wstring text(n, L'\0');
    for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<wchar_t>(field[i]);
    return text;
}

bool CodeEquals(const char16_t (&field)[10], std::wstring_view query) {
    return SameUnits(field, CodeLength(field), query);
}

bool CodeMatches(const char16_t (&field)[10], std::wstring_view query) {
    const std::size_t n = CodeLength(field);
    if (SameUnits(field, n, query)) return true;
    return n == 5 && query.size() == 6 && SameUnits(field, n, query.substr(1));
}

const PositionRecord* FindPosition(const SharedStateBlock& block, std::wstring_view code, int32_t s,
                                   int32_t link_number, WindowCheck is_window) {
    const int32_t used = UsedRecords(block.position_count, kPositionCapacity);
    for (int32_t i = 0; i < used; ++i) {
        const PositionRecord& r = block.positions[i];
        if (CodeMatches(r.code, code) && (s < 0 || SameIndex(r.selector_index, s))) return &r;
    }
    for (int k = 0; k < kReceiverSlots; ++k) {
        const RefreshReceiverEntry& entry = block.receiver_entries[k];
        const uint32_t handle = block.refresh_receivers[k];
        if (handle == 0 || entry.assistant != static_cast<float>(link_number) || !is_window(handle)) continue;
        const int32_t in_slot = UsedRecords(entry.count, kPositionCapacity);
        for (int32_t i = 0; i < in_slot; ++i) {
            const PositionRecord& r = block.receiver_positions[k][i];
            if (CodeEquals(r.code, code) && (s == -1 || SameIndex(r.selector_index, s))) return &r;
        }
    }
    return nullptr;
}

float PositionValue(const PositionRecord* record, int32_t selector) {
    if (record == nullptr) return 0.0f;
    if (selector == 0) return static_cast<float>(record->value0);
    if (selector == 1) return static_cast<float>(record->value1);
    if (selector >= 2 && selector <= 9) return record->value2_to_9[selector - 2];
    return 0.0f;
}

std::vector<OrderRecord> CollectOrders(const SharedStateBlock& block, std::wstring_view code, int64_t kind,
                                       int32_t s, int32_t f) {
    std::vector<OrderRecord> selected;
    const int32_t used = UsedRecords(block.order_count, kOrderCapacity);
    for (int32_t i = 0; i < used; ++i) {
        if (OrderSelected(block.orders[i], code, kind, s, f)) selected.push_back(block.orders[i]);
    }
    return selected;
}

float SelectedOrdersValue(const SharedStateBlock& block, std::wstring_view code, int64_t kind, int32_t s, int32_t f,
                          int32_t selector, int64_t now) {
    const int32_t used = UsedRecords(block.order_count, kOrderCapacity);
    bool any = false;
    uint32_t outstanding = 0;  // 32-bit arithmetic, as OrderValue
    int64_t latest = 0;
    for (int32_t i = 0; i < used; ++i) {
        const OrderRecord& r = block.orders[i];
        if (!OrderSelected(r, code, kind, s, f)) continue;
        any = true;
        outstanding += static_cast<uint32_t>(r.quantity) - static_cast<uint32_t>(r.filled);
        latest = std::max(latest, r.time);
    }
    if (!any) return 0.0f;
    if (selector == 0) return static_cast<float>(static_cast<int32_t>(outstanding));
    if (selector == 1) return latest > 0 ? static_cast<float>(now - latest) : 0.0f;
    return 0.0f;
}

float OrderValue(const std::vector<OrderRecord>& orders, int32_t selector, int64_t now) {
    if (orders.empty()) return 0.0f;
    if (selector == 0) {
        // 32-bit arithmetic as the assistant's own figures wrap, without the
        // undefined behaviour of signed overflow.
        uint32_t outstanding = 0;
        for (const OrderRecord& r : orders)
            outstanding += static_cast<uint32_t>(r.quantity) - static_cast<uint32_t>(r.filled);
        return static_cast<float>(static_cast<int32_t>(outstanding));
    }
    if (selector == 1) {
        int64_t latest = 0;
        for (const OrderRecord& r : orders) latest = std::max(latest, r.time);
        return latest > 0 ? static_cast<float>(now - latest) : 0.0f;
    }
    return 0.0f;
}

float AccountValue(const SharedStateBlock& block, int32_t selector, int32_t s) {
    if (selector == 4) return static_cast<float>(CountHeldPositions(block, s));
    if (s >= 0 && s <= 9) {
        switch (selector) {
            case 0: return block.account0_by_index[s];
            case 1: return block.account1_by_index[s];
            case 2: return block.account2_by_index[s];
            case 3: return block.account3_by_index[s];
            default: return 0.0f;
        }
    }
    switch (selector) {
        case 0: return block.account0;
        case 1: return block.account1;
        case 2: return block.account2;
        case 3: return block.account3;
        default: break;
    }
    if (s >= 0) return 0.0f;  // figures 5..8 belong to the whole account only
    switch (selector) {
        case 5: return block.account5;
        case 6: return block.account6;
        case 7: return block.account7;
        case 8: return block.account8;
        default: return 0.0f;
    }
}

int32_t CountHeldPositions(const SharedStateBlock& block, int32_t s) {
    const int32_t used = UsedRecords(block.position_count, kPositionCapacity);
    int32_t held = 0;
    for (int32_t i = 0; i < used; ++i) {
        const PositionRecord& r = block.positions[i];
        if (s < 0 ? r.value2_to_9[0] > 0.0f : (r.value0 > 0 && SameIndex(r.selector_index, s))) ++held;
    }
    return held;
}

std::wstring HeldPositionCodes(const SharedStateBlock& block, int32_t s) {
    const int32_t used = UsedRecords(block.position_count, kPositionCapacity);
    std::wstring text;
    for (int32_t i = 0; i < used; ++i) {
        const PositionRecord& r = block.positions[i];
        if (r.code[0] == 0 || std::fabs(r.value2_to_9[0]) == 0.0f) continue;
        if (s >= 0 && !SameIndex(r.selector_index, s)) continue;
        text += CodeText(r.code);
        if (i != used - 1) text += L',';
    }
    if (text.size() > 6 && text.back() == L',') text.pop_back();
    return text;
}

std::wstring JoinOrderCodes(const std::vector<OrderRecord>& orders) {
    std::wstring text;
    for (std::size_t i = 0; i < orders.size(); ++i) {
        if (i > 0) text += L',';
        text += CodeText(orders[i].code);
    }
    return text;
}

}  // namespace pintle
