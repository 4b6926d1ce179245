// The stand-in assistant's state file: a small UTF-8 text that says which
// account figures, positions, orders and refresh-receiver tables to publish,
// and how it is written into the block. Pure C++: no Windows header.
//
// One item per line; words are separated by blanks; "#" starts a comment.
//   account F VALUE [index=I]          figure F (0-3, 5-8), or 0-3 for index 0-9
//   position CODE [v0=..] ... [v9=..] [index=I] [receiver=K]
//   order CODE [kind=..] [qty=..] [filled=..] [time=..] [index=I] [filter=..]
//   count TABLE N                      publish N as the count of TABLE:
//                                      positions, orders, receiver0..receiver4
// CODE "" is the empty code. Fields left out are 0. See docs/kovalt.md.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/shared_state_block.h"

namespace kovalt {

struct StateTables {
    float account[9] = {};                  // whole account, figures 0-8 (4 unused)
    float account_by_index[4][10] = {};     // figures 0-3 per selector index
    std::vector<pintle::PositionRecord> positions;
    std::vector<pintle::OrderRecord> orders;
    std::array<std::vector<pintle::PositionRecord>, pintle::kReceiverSlots> receiver_positions;
    // Counts to publish instead of the number of records (to play a broken
    // assistant).
    std::optional<int32_t> position_count, order_count;
    std::array<std::optional<int32_t>, pintle::kReceiverSlots> receiver_counts;
};

struct StateParse {
    std::optional<StateTables> tables;  // empty when the text has an error
    std::string error;                  // "line N: why"
};

StateParse ParseStateFile(std::string_view utf8);

// Rewrites the account figures, the counts and the position, order and
// refresh-receiver tables (unused records zero). Leaves everything else.
void WriteTables(pintle::SharedStateBlock& block, const StateTables& tables);

}  // namespace kovalt
