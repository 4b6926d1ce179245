#include "plugin/export_table.h"

#include <iterator>

#include "plugin/exports.h"

namespace pintle {
namespace {

#define PINTLE_ROW(exported, fn) {exported, #fn, reinterpret_cast<AnyExport>(&fn)}

const ExportRow kRows[] = {
    PINTLE_ROW("BUY", pintle_BUY),
    PINTLE_ROW("_BUY", pintle_BUY),
    PINTLE_ROW("SELL", pintle_SELL),
    PINTLE_ROW("_SELL", pintle_SELL),
    PINTLE_ROW("BUY_RZ", pintle_BUY_RZ),
    PINTLE_ROW("_BUY_RZ", pintle_BUY_RZ),
    PINTLE_ROW("SELL_RQ", pintle_SELL_RQ),
    PINTLE_ROW("_SELL_RQ", pintle_SELL_RQ),
    PINTLE_ROW("SELL_HK", pintle_SELL_HK),
    PINTLE_ROW("_SELL_HK", pintle_SELL_HK),
    PINTLE_ROW("BUY_HQ", pintle_BUY_HQ),
    PINTLE_ROW("_BUY_HQ", pintle_BUY_HQ),
    PINTLE_ROW("BUYKZZ", pintle_BUYKZZ),
    PINTLE_ROW("BuyKzz", pintle_BUYKZZ),
    PINTLE_ROW("_BuyKzz", pintle_BUYKZZ),
    PINTLE_ROW("SELLKZZ", pintle_SELLKZZ),
    PINTLE_ROW("SellKzz", pintle_SELLKZZ),
    PINTLE_ROW("_SellKzz", pintle_SELLKZZ),
    PINTLE_ROW("CLEARPOSITION", pintle_CLEARPOSITION),
    PINTLE_ROW("ClearPosition", pintle_CLEARPOSITION),
    PINTLE_ROW("_ClearPosition", pintle_CLEARPOSITION),
    PINTLE_ROW("START", pintle_START),
    PINTLE_ROW("Start", pintle_START),
    PINTLE_ROW("_Start", pintle_START),
    PINTLE_ROW("STOP", pintle_STOP),
    PINTLE_ROW("Stop", pintle_STOP),
    PINTLE_ROW("_Stop", pintle_STOP),
    PINTLE_ROW("REFRESH", pintle_REFRESH),
    PINTLE_ROW("Refresh", pintle_REFRESH),
    PINTLE_ROW("_Refresh", pintle_REFRESH),
    PINTLE_ROW("SEND_DATA", pintle_SEND_DATA),
    PINTLE_ROW("ORDERBUTTON", pintle_ORDERBUTTON),
    PINTLE_ROW("OrderButton", pintle_ORDERBUTTON),
    PINTLE_ROW("SENDQUOTE", pintle_SENDQUOTE),
    PINTLE_ROW("_SENDQUOTE", pintle_SENDQUOTE),
    PINTLE_ROW("SendQuote", pintle_SendQuote),
    PINTLE_ROW("_SendQuote", pintle_SendQuote),
    PINTLE_ROW("Set", pintle_Set),
    PINTLE_ROW("SET", pintle_Set),
    PINTLE_ROW("_Set", pintle_Set),
    PINTLE_ROW("Get", pintle_Get),
    PINTLE_ROW("GET", pintle_Get),
    PINTLE_ROW("_Get", pintle_Get),
    PINTLE_ROW("SetGlobal", pintle_SetGlobal),
    PINTLE_ROW("SETGLOBAL", pintle_SetGlobal),
    PINTLE_ROW("_SetGlobal", pintle_SetGlobal),
    PINTLE_ROW("GetGlobal", pintle_GetGlobal),
    PINTLE_ROW("GETGLOBAL", pintle_GetGlobal),
    PINTLE_ROW("_GetGlobal", pintle_GetGlobal),
    PINTLE_ROW("AiRating", pintle_AiRating),
    PINTLE_ROW("AIRATING", pintle_AiRating),
    PINTLE_ROW("_AiRating", pintle_AiRating),
    PINTLE_ROW("AiMarketRating", pintle_AiMarketRating),
    PINTLE_ROW("AIMARKETRATING", pintle_AiMarketRating),
    PINTLE_ROW("_AiMarketRating", pintle_AiMarketRating),
    PINTLE_ROW("RegisterTdxFunc", pintle_RegisterTdxFunc),
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
    // Block lists, screening results, Log and MsgBox.
    PINTLE_ROW("save2blk", pintle_save2blk),
    PINTLE_ROW("SAVE2BLK", pintle_save2blk),
    PINTLE_ROW("_save2blk", pintle_save2blk),
    PINTLE_ROW("del2blk", pintle_del2blk),
    PINTLE_ROW("DEL2BLK", pintle_del2blk),
    PINTLE_ROW("_del2blk", pintle_del2blk),
    PINTLE_ROW("BlkCount", pintle_BlkCount),
    PINTLE_ROW("BLKCOUNT", pintle_BlkCount),
    PINTLE_ROW("_BlkCount", pintle_BlkCount),
    PINTLE_ROW("WenCai", pintle_WenCai),
    PINTLE_ROW("WENCAI", pintle_WenCai),
    PINTLE_ROW("_WenCai", pintle_WenCai),
    PINTLE_ROW("Hot", pintle_Hot),
    PINTLE_ROW("HOT", pintle_Hot),
    PINTLE_ROW("_Hot", pintle_Hot),
    PINTLE_ROW("Ai", pintle_Ai),
    PINTLE_ROW("AI", pintle_Ai),
    PINTLE_ROW("_Ai", pintle_Ai),
    PINTLE_ROW("Log", pintle_Log),
    PINTLE_ROW("LOG", pintle_Log),
    PINTLE_ROW("_Log", pintle_Log),
    PINTLE_ROW("MsgBox", pintle_MsgBox),
    PINTLE_ROW("MSGBOX", pintle_MsgBox),
    PINTLE_ROW("_MsgBox", pintle_MsgBox),
};

#undef PINTLE_ROW

}  // namespace

const ExportRow* ExportTable() { return kRows; }
std::size_t ExportTableSize() { return std::size(kRows); }

}  // namespace pintle
