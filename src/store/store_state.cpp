// The stores that live for the life of the loaded library: the own store and
// one read-only store per assistant number that was ever read. Created empty
// at load, released at unload; touched only with the call lock held.
#include <map>
#include <memory>

#include "assistant/assistant.h"
#include "store/store.h"

namespace pintle {
namespace {

struct StoreState {
    std::unique_ptr<KeyValueStore> own = std::make_unique<KeyValueStore>();
    std::map<int32_t, std::unique_ptr<KeyValueStore>> assistants;  // by assistant number
};

StoreState g_stores;

}  // namespace

KeyValueStore& OwnStore() { return *g_stores.own; }

void OpenOwnStore(const std::wstring& path, bool writable) { g_stores.own->Open(path, writable); }

KeyValueStore& CurrentAssistantStore() {
    auto& slot = g_stores.assistants[CurrentAssistantNumber()];
    if (!slot) slot = std::make_unique<KeyValueStore>();
    if (!slot->IsOpen()) {
        // The directory of this number's own window, not one remembered for
        // another number.
        if (CurrentMainWindow() != nullptr) {
            const std::wstring& dir = AssistantDirectoryOf(CurrentAssistantNumber());
            if (!dir.empty()) slot->Open(dir + L"TradeSelfData\\data.db", false);
        }
    }
    return *slot;
}

void ReleaseStores() {
    g_stores.own->Close();
    for (auto& [number, store] : g_stores.assistants) store->Close();
    g_stores.assistants.clear();
}

void ResetStoreState() {
    ReleaseStores();
    g_stores = StoreState{};
    ResetKeyValueStoreNotices();
}

}  // namespace pintle
