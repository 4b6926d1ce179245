#include "assistant/tdx_sender.h"

#include "assistant/assistant_state.h"
#include "assistant/delivery.h"
#include "assistant/order_line.h"
#include "common/clock.h"
#include "common/text.h"
#include "formats/command_record.h"
#include "formula/boundary_state.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "log/plugin_log.h"

namespace pintle {
namespace {

bool Overflows(int32_t v) { return v == INT32_MIN || v == INT32_MAX; }

}  // namespace

void SetPriceOverride(int32_t key, bool sell_side, float price) {
    PriceOverride& o = Assistant().price_override;
    o.key = key;
    if (sell_side) {
        o.sell_stamp = TickMs();
        o.sell_price = price;
    } else {
        o.buy_stamp = TickMs();
        o.buy_price = price;
    }
}

void ClearPriceOverride(bool sell_side) {
    PriceOverride& o = Assistant().price_override;
    if (sell_side) {
        o.sell_stamp = 0;
        o.sell_price = 0;
    } else {
        o.buy_stamp = 0;
        o.buy_price = 0;
    }
}

int32_t SendTdxCommand(const wchar_t* function, float code_number, const std::string& code_text, int32_t sub_kind,
                       int32_t formula, float quantity, int32_t kind, bool unit_1000) {
    PluginLog& log = PluginLog::Instance();
    CommandRecord rec{};
    rec.id = kCommandRecordId;
    rec.sub_kind = sub_kind;
    rec.formula = formula;
    rec.assistant = Assistant().number;
    rec.quantity_unit = unit_1000 ? 1000.0f : 0.0f;
    rec.price = 0.0f;

    const int32_t q = TruncateToInt(quantity);
    if (Overflows(formula)) {
        log.WriteFormatted(L"运算溢出 %d", {formula});
        return 0;
    }
    if (Overflows(q)) {
        log.WriteFormatted(L"运算溢出 %.2f", {static_cast<double>(quantity)});
        return 0;
    }
    if (q == 0 && kind != kKindOrderManagement && kind != kKindAutomation) return 0;
    rec.quantity = q == 1 ? 0 : q;
    rec.selector_index = TdxSelectorIndex();
    CopyToField(rec.code, sizeof rec.code, code_text);
    const uint32_t dw_data = kind == -1 ? kKindOrder : static_cast<uint32_t>(kind);

    const bool rating = sub_kind == 80 || sub_kind == 81;
    // The assistant's window, once asked for (the log lines need it): the
    // same window takes the command.
    HWND main = nullptr;
    bool looked_up = false;
    if (kind == kKindOrderManagement) {
        if (!rating) {
            rec.quantity = q;
            if (formula == 0) return 0;
        }
    } else if (kind == kKindAutomation || kind == kKindRefresh || kind == kKindMessages) {
        if (formula == 0 && kind != kKindMessages) return 0;
        if (kind == kKindMessages) rec.quantity = q;
        main = CurrentMainWindow();
        looked_up = true;
        if (main != nullptr) {
            if (kind == kKindAutomation && sub_kind >= 0 && sub_kind <= 2) {
                static const wchar_t* const kLines[] = {L"接收到 清仓命令 %d ", L"接收到 启动自动交易 命令 %d ",
                                                       L"接收到 停止自动交易 命令 %d "};
                log.WriteFormatted(kLines[sub_kind], {formula});
            } else if (kind == kKindRefresh) {
                log.WriteFormatted(L"接收到 刷新 命令 %d ", {formula});
            }
        }
    } else {
        const PriceOverride& o = Assistant().price_override;
        const bool sell = sub_kind != 0;
        const uint32_t stamp = sell ? o.sell_stamp : o.buy_stamp;
        const bool fresh = stamp != 0 && static_cast<int32_t>(TickMs() - stamp) < static_cast<int32_t>(kPriceOverrideMs);
        const std::wstring code = AnsiToWide(code_text);
        main = CurrentMainWindow();
        looked_up = true;
        if (fresh && TruncateToInt(code_number) == o.key) {
            rec.price = sell ? o.sell_price : o.buy_price;
            if (main != nullptr) {
                log.WriteFormatted(L"接收到公式%d %s 指定下单价格 %.2f", {formula, code, static_cast<double>(rec.price)});
            }
        }
        if (main != nullptr) log.Write(OrderLine(OrderLineStyle::Tdx, formula, sub_kind, code, rec.price, rec.quantity));
    }

    if (sub_kind != 3 && !rating && rec.quantity < 0) return 0;
    DeliverCommand(looked_up ? main : CurrentMainWindow(), dw_data, rec, Sender::TdxCommand, function);
    return 1;
}

void SendTdxData(float code_number, float in_b, float in_c) {
    ClearPriceOverride(false);
    CommandRecord rec{};
    rec.id = kCommandRecordId;
    rec.sub_kind = 0;
    CopyToField(rec.code, sizeof rec.code, TdxCodeText(code_number));
    rec.quantity = TruncateToInt(in_b);
    rec.price = in_c;
    rec.data_value = TruncateToInt(in_c);
    rec.formula = 0;
    rec.assistant = Assistant().number;
    rec.selector_index = TdxSelectorIndex();
    DeliverCommand(CurrentMainWindow(), kKindData, rec, Sender::TdxCommand, L"TDXDLL1(23");
}

float RunTdxOrder(const wchar_t* function, const TdxInputs& in, int32_t sub_kind, bool unit_1000, bool marks_order,
                  OrderSide clears) {
    if (marks_order) Assistant().tdx_order_ran = true;
    // The override key stays the code function 15 named: an order of
    // another code must never take that code's price.
    const int32_t sent =
        SendTdxCommand(function, in.a, TdxCodeText(in.a), sub_kind, TruncateToInt(in.b), in.c, -1, unit_1000);
    ClearPriceOverride(clears == OrderSide::Sell);
    return static_cast<float>(sent);
}

void RunTdxCommand(const wchar_t* function, const TdxInputs& in, int32_t kind, int32_t sub_kind) {
    SendTdxCommand(function, in.a, TdxCodeText(in.a), sub_kind, TruncateToInt(in.b), in.c, kind, false);
}

void ChooseTdxAssistant(int32_t number, int32_t selector) {
    Boundary().tdx_selector = selector;
    if (number != Assistant().number) SwitchAssistant(number);
}

}  // namespace pintle
