// The readers of the SharedStateBlock: the code-match rule, the table scans
// and the value selectors. Byte-level: they take a block and values and
// include no Windows header; state/queries_win.cpp polls the link and holds
// the block mutex around them.
//
// The block is written by another program. Every count in it is read once
// and clamped to its table's capacity (0 or less reads nothing), so no count
// can make a reader leave the 425992 bytes. No reader keeps a pointer into
// the block beyond the caller's hold of the mutex: results are copied out.
//
// A selector index s is 0-based; -1 stands for none. The tables are tested
// for it only when s >= 0, except the refresh receiver search, which tests
// it whenever s is not -1.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/shared_state_block.h"

namespace pintle {

// Records a table really holds: the count as written, read once, clamped to
// 0..capacity.
int32_t UsedRecords(const int32_t& count, int32_t capacity);

// The code of a 20-byte field: up to its terminator, at most 10 units.
std::wstring CodeText(const char16_t (&field)[10]);

// Plain equality of a field's code with a query code.
bool CodeEquals(const char16_t (&field)[10], std::wstring_view query);
// The position and order tables' rule: equal, or a 5-character record code
// that is a 6-character query code without its first character (00700
// answers 000700).
bool CodeMatches(const char16_t (&field)[10], std::wstring_view query);

// Whether a 32-bit handle from the block names a live window (the adapter
// asks the system; tests pass their own).
using WindowCheck = bool (*)(uint32_t handle);

// The position of the code: the first match in the position table, else
// the first exact match in the table of a refresh receiver slot that is in
// use (non-zero handle, a window) and serves `link_number`. Null for none.
const PositionRecord* FindPosition(const SharedStateBlock& block, std::wstring_view code, int32_t s,
                                   int32_t link_number, WindowCheck is_window);

// Position value 0..9 of a record (values 0 and 1 are integers); 0 without
// a record or for any other selector.
float PositionValue(const PositionRecord* record, int32_t selector);

// The orders of one trade kind, in table order: of the code (every code when
// it is empty), of selector index s when s >= 0, of filter value f when
// f >= 1. The kind is wide so that "counted from 1, minus 1" cannot wrap.
std::vector<OrderRecord> CollectOrders(const SharedStateBlock& block, std::wstring_view code, int64_t kind,
                                       int32_t s, int32_t f);

// Selector 0: the outstanding quantity (order minus filled, summed in 32-bit
// arithmetic). Selector 1: seconds from the latest order time to `now`, 0
// when no order has a time above 0. Anything else, or no orders: 0.
float OrderValue(const std::vector<OrderRecord>& orders, int32_t selector, int64_t now);
// OrderValue of CollectOrders in one scan, without copying the orders out
// (OrderInfo runs on every recalculation of every chart that uses it).
float SelectedOrdersValue(const SharedStateBlock& block, std::wstring_view code, int64_t kind, int32_t s, int32_t f,
                          int32_t selector, int64_t now);

// Account figure by account selector: 0..3 and 5..8 for the whole account
// (s < 0), 0..3 per selector index 0..9, the whole-account 0..3 again for
// s >= 10; 4 counts the held positions for s. Anything else: 0.
float AccountValue(const SharedStateBlock& block, int32_t selector, int32_t s);

// Held positions in the position table: value 2 above 0 for the whole
// account (s < 0); value 0 above 0 and selector index s otherwise.
int32_t CountHeldPositions(const SharedStateBlock& block, int32_t s);

// The codes of the held positions, each followed by a comma unless it is
// the table's last record; a trailing comma is dropped only from a text
// longer than 6 characters.
std::wstring HeldPositionCodes(const SharedStateBlock& block, int32_t s);

// The orders' codes joined with ",".
std::wstring JoinOrderCodes(const std::vector<OrderRecord>& orders);

}  // namespace pintle
