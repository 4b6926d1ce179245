// What the stand-in assistant publishes in its SharedStateBlock, and how it is
// written into the block. Byte-level: no Windows header. Window handles are
// kept as the 32-bit values the block stores.
//
// The block is rewritten from this state on every publish, so everything the
// assistant shows the plug-in belongs here: the window fields, and the
// tables of the state file when one is given.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "formats/shared_state_block.h"
#include "state_file.h"

namespace kovalt {

struct RefreshReceiver {
    uint32_t window = 0;
    int assistant = 0;  // the assistant number this window serves
};

struct PublishedState {
    uint32_t main_window = 0;
    std::array<uint32_t, pintle::kReceiverSlots> extra_receivers{};
    std::vector<RefreshReceiver> refresh_receivers;  // slots 0.., at most 5
    int32_t version = pintle::kMinimumAssistantVersion;
    std::optional<StateTables> tables;  // none: the tables' bytes are left alone
};

// Writes the state's fields; fields the state does not describe keep their
// bytes. Unused receiver slots are written as zero.
void WriteState(pintle::SharedStateBlock& block, const PublishedState& state);

}  // namespace kovalt
