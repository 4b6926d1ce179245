#include "assistant/order_line.h"

#include "common/format.h"

namespace pintle {

std::wstring OrderLine(OrderLineStyle style, int32_t formula, int32_t sub_kind, const std::wstring& code, double price,
                       int32_t quantity) {
    const bool basket = formula >= 100;
    const bool lots = quantity >= 100;
    const wchar_t* format = nullptr;
    if (!basket) {
        format = lots ? L"接收到 公式%d %s %s %.4f元 量*条件=%d股 "
                      : (style == OrderLineStyle::Dzh ? L"接收到 公式%d %s %s %.4f元 量*条件=%d"
                                                      : L"接收到 公式%d %s %s %.4f元 量*条件=%d ");
    } else {
        format = lots ? (style == OrderLineStyle::Dzh ? L"接收到 篮子%d %s %s %.4f元 %d股 "
                                                      : L"接收到 篮子%d %s %s %.4f元 量*条件=%d股 ")
                      : L"接收到 篮子%d %s %s %.4f元 量*条件=%d ";
    }
    const wchar_t* direction = sub_kind == 0 ? L"买入" : L"卖出";
    return FormatText(format, {formula, direction, code, price, quantity});
}

}  // namespace pintle
