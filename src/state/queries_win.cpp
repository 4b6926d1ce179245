#include "state/queries.h"

#include "assistant/assistant.h"
#include "common/clock.h"
#include "common/text.h"
#include "common/win.h"
#include "state/block_readers.h"

namespace pintle {
namespace {

bool IsLiveWindow(uint32_t handle) {
    return IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(handle))) != FALSE;
}

}  // namespace

float PositionQuery(std::wstring_view code, int32_t selector, int32_t s) {
    SetExtendedFields(selector > 5);
    SetLookupCode(WideToAnsi(code));
    const bool mapped = PollCurrentLink();
    SetExtendedFields(false);
    const SharedStateBlock* block = CurrentBlock();
    if (!mapped || block == nullptr) return 0.0f;
    MutexHold hold(CurrentBlockMutex());
    return PositionValue(FindPosition(*block, code, s, CurrentAssistantNumber(), IsLiveWindow), selector);
}

float OrderQuery(std::wstring_view code, int32_t selector, int64_t kind, int32_t s, int32_t filter) {
    const bool mapped = PollCurrentLink();
    const SharedStateBlock* block = CurrentBlock();
    if (!mapped || block == nullptr) return 0.0f;
    MutexHold hold(CurrentBlockMutex());
    return SelectedOrdersValue(*block, code, kind, s, filter, selector, NowSeconds());
}

float AccountQuery(int32_t selector, int32_t s) {
    const bool mapped = PollCurrentLink();
    const SharedStateBlock* block = CurrentBlock();
    if (!mapped || block == nullptr) return 0.0f;
    MutexHold hold(selector == 4 ? CurrentBlockMutex() : nullptr);
    return AccountValue(*block, selector, s);
}

std::wstring HeldCodesQuery(int32_t s) {
    const bool mapped = PollCurrentLink();
    const SharedStateBlock* block = CurrentBlock();
    if (!mapped || block == nullptr) return {};
    MutexHold hold(CurrentBlockMutex());
    return HeldPositionCodes(*block, s);
}

std::wstring OrderCodesQuery(int64_t kind, int32_t s) {
    const bool mapped = PollCurrentLink();
    const SharedStateBlock* block = CurrentBlock();
    if (!mapped || block == nullptr) return {};
    MutexHold hold(CurrentBlockMutex());
    return JoinOrderCodes(CollectOrders(*block, L"", kind, s, 0));
}

}  // namespace pintle
