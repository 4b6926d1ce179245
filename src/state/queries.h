// The state queries over the current assistant link: each polls the link
// first (the poll may send the refresh request, a window message), then
// takes the block mutex for one scan and the copying of its result, and
// never holds it across a window message. Without a link or a mapped block
// every value is 0 and every text empty. Called with the call lock held.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace pintle {

// Position value `selector` of the code. The code (as ANSI text) and, for a
// selector above 5, the extended-fields flag ride on the refresh request
// this lookup's poll may send.
float PositionQuery(std::wstring_view code, int32_t selector, int32_t s);
// Order value `selector` over the orders of the code of trade kind `kind`.
float OrderQuery(std::wstring_view code, int32_t selector, int64_t kind, int32_t s, int32_t filter);
// Account figure `selector`; only the held-position count takes the mutex
// (the figures are single aligned words).
float AccountQuery(int32_t selector, int32_t s);
// The held positions' codes (see HeldPositionCodes).
std::wstring HeldCodesQuery(int32_t s);
// The codes of every order of trade kind `kind`, joined with ",".
std::wstring OrderCodesQuery(int64_t kind, int32_t s);

}  // namespace pintle
