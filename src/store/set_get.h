// The pieces of Set and Get that the TDX dated history functions share:
// the trade-day check of a Set, reading a slot's series the way Get does,
// and reading a value the TDX way. The formula functions themselves are
// offered in store/store.h. Everything here runs with the call lock held.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formula/formula_call.h"
#include "store/key_value_store.h"

namespace pintle {

// The code of a DZH call: its label in the ANSI code page without market
// marks ("SH600000" and "600000.SH" give "600000").
std::string FormulaCode(const FormulaCall& call);

// With OnlyTradeTime set and the bar's local date not today: logs the
// refusal ("非交易日或数据不完整, Set函数不记录 CODE 最新数据为 TIME  ") and
// gives true; the Set must then store nothing.
bool RefusedOutsideTradeDay(std::string_view code, uint32_t bar_time);

// A slot's history from one store: slots 96 and 97 from the files of 98
// and 99, as a ratio to the first value. Period 0 reads the same files a
// Set with period 0 wrote (directory 8).
std::vector<HistoryPoint> ReadSlotHistory(KeyValueStore& store, std::string_view code, int32_t qualifier,
                                          int32_t assistant, int32_t slot, int32_t period);

// The series a DZH Get reads for a history slot: the own store for
// 10000-19999 and negative slots; the current assistant's store for 86-99
// and from 20000, where an empty one-minute series is looked for once more
// under the other one-minute period (1 and 3).
std::vector<HistoryPoint> ReadGetSeries(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot,
                                        int32_t period);

// A value read the TDX way: negative slots 0; below 100 from the current
// assistant's store (reloaded first while quotes are pushed) with the TDX
// time conversions; from 100 on the latest value in the own store. `time`
// is the record's time (0 when absent).
StoredValue TdxReadValue(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot);

}  // namespace pintle
