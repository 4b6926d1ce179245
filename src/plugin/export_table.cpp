#include "plugin/export_table.h"

#include <iterator>

#include "plugin/exports.h"

namespace pintle {
namespace {

#define PINTLE_ROW(exported, fn) {exported, #fn, reinterpret_cast<AnyExport>(&fn)}

const ExportRow kRows[] = {
    PINTLE_ROW("RUNMODE", pintle_RUNMODE),
    PINTLE_ROW("SETRUNMODE", pintle_SETRUNMODE),
    PINTLE_ROW("SetSellCondition", pintle_SetSellCondition),
    PINTLE_ROW("_SetSellCondition", pintle_SetSellCondition),
    PINTLE_ROW("Buy1", pintle_NoOperation),
    PINTLE_ROW("Buy1_rz", pintle_NoOperation),
    PINTLE_ROW("Sell1", pintle_NoOperation),
    PINTLE_ROW("Sell1_hk", pintle_NoOperation),
    PINTLE_ROW("Sell1_rq", pintle_NoOperation),
    PINTLE_ROW("CancelOrder1", pintle_NoOperation),
    PINTLE_ROW("InitReceiveQuote", pintle_NoOperation),
    PINTLE_ROW("RegisterQuote", pintle_NoOperation),
    PINTLE_ROW("SetBuyCondition", pintle_NoOperation),
    PINTLE_ROW("_SetBuyCondition", pintle_NoOperation),
};

#undef PINTLE_ROW

}  // namespace

const ExportRow* ExportTable() { return kRows; }
std::size_t ExportTableSize() { return std::size(kRows); }

}  // namespace pintle
