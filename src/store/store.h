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
#include <cstdint>
#include <string>

#include "formula/formula_call.h"
#include "formula/tdx_arrays.h"
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

// The formula functions over the stores (set_get.cpp), called with the call
// lock held. The DZH ones write the call's result buffer and return what the
// export returns (0); `global` / `market` pick the code 全局.
//   Set: arg 1 value, 2 slot, 3 qualifier, 4 assistant field (11-16 also
//   choose the history period). Slots 50-60 are forwarded to the assistant.
int32_t SetValue(FormulaCall& call, bool global);
//   Get: arg 1 slot, 2 qualifier, 3 assistant field (made current), 4 every-bar flag.
int32_t GetValue(FormulaCall& call, bool global);
//   AiRating / AiMarketRating: arg 1 may request, 2 assistant selector and
//   qualifier, 3 assistant field, 4 every-bar flag.
int32_t GetRating(FormulaCall& call, bool market);

// The TDX twins (24/26, 25/27, 45/46) on the inputs at the last index; each
// gives the value for every output entry.
float TdxSetValue(const TdxInputs& in, bool global);
float TdxGetValue(const TdxInputs& in, bool global);
float TdxGetRating(const TdxInputs& in, bool market);

// The TDX dated history functions (dated_history.cpp), called with the call
// lock held. The code number's digits in front of the code give the period
// (p mod 10) and the qualifier (p / 10); the assistant field is 0.
//   30, 31: remember a bar date (c) and time (c, hhmm) for the code and slot
//   (b, from 10000); 32 stores c under that bar time. Each gives true when
//   every output entry is to get 1.0, false to leave the output alone.
bool TdxRememberDate(const TdxInputs& in);
bool TdxRememberTime(const TdxInputs& in);
bool TdxSetAtRememberedTime(const TdxInputs& in);
//   33 remembers the formula's bar times (c, all count entries) and copies
//   them to the output; 34 writes the slot's series bar by bar from the bar
//   dates in c (quiet NaN where there is none).
void TdxCacheBarTimes(int32_t count, float* out, const float* in_a, const float* in_b, const float* in_c);
void TdxReadDatedHistory(int32_t count, float* out, const float* in_a, const float* in_b, const float* in_c);
// Forgets every remembered bar date and cached bar time list (tests).
void ResetDatedHistoryState();

}  // namespace pintle
