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
    PINTLE_ROW("PosInfo", pintle_PosInfo),
    PINTLE_ROW("POSINFO", pintle_PosInfo),
    PINTLE_ROW("_PosInfo", pintle_PosInfo),
    PINTLE_ROW("OrderInfo", pintle_OrderInfo),
    PINTLE_ROW("ORDERINFO", pintle_OrderInfo),
    PINTLE_ROW("_OrderInfo", pintle_OrderInfo),
    PINTLE_ROW("AccountInfo", pintle_AccountInfo),
    PINTLE_ROW("ACCOUNTINFO", pintle_AccountInfo),
    PINTLE_ROW("_AccountInfo", pintle_AccountInfo),
    PINTLE_ROW("CancelOrder", pintle_CancelOrder),
    PINTLE_ROW("CANCELORDER", pintle_CancelOrder),
    PINTLE_ROW("_CancelOrder", pintle_CancelOrder),
    PINTLE_ROW("Enable", pintle_Enable),
    PINTLE_ROW("ENABLE", pintle_Enable),
    PINTLE_ROW("_Enable", pintle_Enable),
    PINTLE_ROW("Disable", pintle_Disable),
    PINTLE_ROW("DISABLE", pintle_Disable),
    PINTLE_ROW("_Disable", pintle_Disable),
    PINTLE_ROW("SendMessages", pintle_SendMessages),
    PINTLE_ROW("SENDMESSAGES", pintle_SendMessages),
    PINTLE_ROW("_SendMessages", pintle_SendMessages),
    PINTLE_ROW("GetPosInfo", pintle_GetPosInfo),
    PINTLE_ROW("GetAccountInfo", pintle_GetAccountInfo),
    PINTLE_ROW("GetAllPositionCode", pintle_GetAllPositionCode),
    PINTLE_ROW("GetAllPositionCodeA", pintle_GetAllPositionCodeA),
    PINTLE_ROW("GetAllOrderCode", pintle_GetAllOrderCode),
};

#undef PINTLE_ROW

}  // namespace

const ExportRow* ExportTable() { return kRows; }
std::size_t ExportTableSize() { return std::size(kRows); }

}  // namespace pintle
