// What the key/value store offers the rest of the plug-in: the own store
// (the only one written, by Set and the TDX writes), the read-only store of
// the current assistant, and opening and releasing them at load and unload.
// Everything here runs with the call lock held (or under the loader lock at
// load and unload); the stores take the named store mutex themselves.
//
// Reads and writes are members of KeyValueStore (store/key_value_store.h):
//   OwnStore().WriteValue(code, qualifier, assistant, slot, value, period, bar_time)
//   CurrentAssistantStore().ReadValue(code, qualifier, assistant, slot)
//   store.ReadHistory(code, qualifier, assistant, slot, period), store.ReloadIfChanged()
#pragma once
#include <string>

#include "store/key_value_store.h"

namespace pintle {

// The own store; not open before the load sequence opened it.
KeyValueStore& OwnStore();
// Opens the own store on that data.db (load sequence).
void OpenOwnStore(const std::wstring& path, bool writable);

// The read-only store of the current assistant number, created on first use.
// While its file is not open it is opened on TradeSelfData\data.db beside the
// executable that owns that assistant's main window, whenever that window is
// there; so a store whose file is missing retries (and logs) on every call.
KeyValueStore& CurrentAssistantStore();

// Closes every store and destroys the assistant stores (unload).
void ReleaseStores();
// Back to the state at load (tests).
void ResetStoreState();

}  // namespace pintle
