// The log line written for each order as it goes out. DZH and TDX orders use
// the same words with slightly different shapes.
#pragma once
#include <cstdint>
#include <string>

namespace pintle {

enum class OrderLineStyle { Dzh, Tdx };

// direction: "买入" for sub-kind 0, "卖出" for every other sub-kind.
std::wstring OrderLine(OrderLineStyle style, int32_t formula, int32_t sub_kind, const std::wstring& code, double price,
                       int32_t quantity);

}  // namespace pintle
