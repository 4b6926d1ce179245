#include "block_state.h"

namespace kovalt {

void WriteState(pintle::SharedStateBlock& block, const PublishedState& state) {
    block.main_window = state.main_window;
    for (int i = 0; i < pintle::kReceiverSlots; ++i) block.extra_receivers[i] = state.extra_receivers[i];

    for (int i = 0; i < pintle::kReceiverSlots; ++i) {
        const bool used = static_cast<std::size_t>(i) < state.refresh_receivers.size();
        block.refresh_receivers[i] = used ? state.refresh_receivers[i].window : 0;
        block.receiver_entries[i].assistant =
            used ? static_cast<float>(state.refresh_receivers[i].assistant) : 0.0f;
    }
    block.version = state.version;
    if (state.tables) WriteTables(block, *state.tables);
}

}  // namespace kovalt
