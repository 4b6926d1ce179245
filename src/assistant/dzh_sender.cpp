#include "assistant/assistant_state.h"
#include "assistant/delivery.h"
#include "assistant/order_line.h"
#include "common/clock.h"
#include "common/text.h"
#include "formats/command_record.h"
#include "formula/boundary_state.h"
#include "formula/formula.h"
#include "log/plugin_log.h"

namespace pintle {
namespace {

bool Overflows(int32_t v) { return v == INT32_MIN || v == INT32_MAX; }

void LogAutomation(int32_t sub_kind, int32_t formula) {
    static const wchar_t* const kLines[] = {L"接收到 清仓命令 %d ", L"接收到 启动自动交易 命令 %d ",
                                           L"接收到 停止自动交易 命令 %d "};
    if (sub_kind >= 0 && sub_kind <= 2) PluginLog::Instance().WriteFormatted(kLines[sub_kind], {formula});
}

}  // namespace

int32_t SendDzhCommand(const wchar_t* function, uint32_t kind, int32_t sub_kind, FormulaCall& call, bool unit_1000,
                       bool write_results) {
    PluginLog& log = PluginLog::Instance();
    if (call.bar_count <= 0) {
        log.Write(L"没有数据，不能买入");
        return 0;
    }
    CommandRecord rec{};
    rec.id = kCommandRecordId;
    rec.sub_kind = sub_kind;
    rec.assistant = Assistant().number;
    rec.query_api = Assistant().query_api_used ? 1 : 0;
    rec.quantity_unit = 0.0f;
    if (!LastBarGate(call)) return 0;

    const float p1 = ReadArg(call, 1), p2 = ReadArg(call, 2), p3 = ReadArg(call, 3), p4 = ReadArg(call, 4);
    const float unit = unit_1000 ? 1000.0f : (Boundary().halvane_host.load() ? 1.0f : 0.0f);
    if (ArgPresent(call, 1)) {
        rec.price = p1;
        rec.quantity_unit = unit;
    }
    if (ArgPresent(call, 2)) {
        rec.quantity = TruncateToInt(p2);
        rec.quantity_unit = unit;
        if (kind == kKindData) rec.data_value = TruncateToInt(p2);
    }
    if (ArgPresent(call, 3)) rec.formula = TruncateToInt(p3);
    for (int32_t v : {rec.formula, rec.quantity}) {
        if (Overflows(v)) {
            log.WriteFormatted(L"运算溢出 %d", {v});
            return 0;
        }
    }

    const std::string_view code = sub_kind == 80 ? std::string_view(kMarketSentimentGbk) : LabelCodeText(call);
    CopyToField(rec.code, sizeof rec.code, code);
    // The assistant's window, once asked for (the log lines need it): the
    // same window takes the command.
    HWND main = nullptr;
    bool looked_up = false;

    if (kind == kKindAutomation || kind == kKindRefresh || kind == kKindMessages || kind == kKindData) {
        const int32_t selector = TruncateToInt(p2);
        const AssistantSelector sel = SplitSelector(selector);
        rec.selector_index = sel.index;
        rec.formula = TruncateToInt(p1);
        if (kind != kKindMessages) {
            SelectAssistant(sel.assistant);
            rec.assistant = Assistant().number;
        } else {
            if (selector <= 0) return 0;
            const BarRecord* last = LastBar(call);
            rec.price = last ? last->close : 0.0f;
        }
        if ((kind == kKindAutomation || kind == kKindRefresh) && rec.formula == 0) return 0;
        if (kind == kKindAutomation) {
            main = CurrentMainWindow();
            looked_up = true;
            if (main != nullptr) LogAutomation(sub_kind, rec.formula);
        }
    } else if (kind == kKindOrderManagement) {
        const int32_t selector = TruncateToInt(p2);
        const AssistantSelector sel = SplitSelector(selector);
        rec.selector_index = sel.index;
        rec.formula = TruncateToInt(p1);
        rec.quantity = selector;
        rec.quantity_unit = p3;
        if (rec.formula == 0) return 0;
        SelectAssistant(sel.assistant);
        rec.assistant = Assistant().number;
    } else {
        const AssistantSelector sel = SplitSelector(TruncateToInt(p4));
        rec.selector_index = sel.index;
        SelectAssistant(sel.assistant);
        rec.assistant = Assistant().number;
        if (code.empty()) {
            // An order for no stock: the assistant could only guess.
            if (Assistant().empty_code.Allow(function, NowSeconds())) {
                log.WriteFormatted(L"%s 股票代码为空,未发出", {function});
            }
            return 0;
        }
        main = CurrentMainWindow();
        looked_up = true;
        if (main != nullptr) {
            log.Write(OrderLine(OrderLineStyle::Dzh, rec.formula, sub_kind, AnsiToWide(code), rec.price, rec.quantity));
        }
        if (rec.quantity <= 0) return 0;
        if (rec.quantity == 1) rec.quantity = 0;
    }

    rec.period = call.period;
    const BarRecord* last = LastBar(call);
    rec.last_bar_time = last ? last->time : 0;
    rec.raw_arg4 = TruncateToInt(p4);

    const Delivery sent =
        DeliverCommand(looked_up ? main : CurrentMainWindow(), kind, rec, Sender::DzhCommand, function);
    if (sent.refused) return 0;
    if (write_results) WriteResult(call, 1.0f, false);
    return 0;
}

int32_t SendValueCommand(const wchar_t* function, std::string_view code, int32_t sub_kind, int32_t integer,
                         float value) {
    CommandRecord rec{};
    rec.id = kCommandRecordId;
    rec.sub_kind = sub_kind;
    CopyToField(rec.code, sizeof rec.code, code);
    rec.price = value;
    rec.formula = integer;
    rec.assistant = Assistant().number;
    DeliverCommand(CurrentMainWindow(), kKindOrderManagement, rec, Sender::TdxCommand, function);
    return 1;
}

}  // namespace pintle
