// The numbered TDX functions, one declaration each; kTdxTable (tdx_table.cpp)
// lists them by number.
#pragma once
#include <cstdint>

namespace pintle {

// Orders, commands, quotes and markers (tdx_functions.cpp).
void Tdx1(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx2(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx7(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx8(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx9(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx10(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx11(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx12(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx13(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx14(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx15(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx18(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx19(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx20(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx21(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx22(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx23(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx28(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx29(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx39(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx40(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx41(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx42(int32_t count, float* out, float* in_a, float* in_b, float* in_c);

// The assistant's state (tdx_state.cpp).
void Tdx3(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx4(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx5(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx6(int32_t count, float* out, float* in_a, float* in_b, float* in_c);

// Stored values and ratings (tdx_store.cpp).
void Tdx24(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx25(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx26(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx27(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx45(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx46(int32_t count, float* out, float* in_a, float* in_b, float* in_c);

// Dated history (tdx_history.cpp).
void Tdx30(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx31(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx32(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx33(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx34(int32_t count, float* out, float* in_a, float* in_b, float* in_c);

// Tracing, screening results and block lists (tdx_lists.cpp).
void Tdx16(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx17(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx35(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx36(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx37(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx38(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx43(int32_t count, float* out, float* in_a, float* in_b, float* in_c);
void Tdx44(int32_t count, float* out, float* in_a, float* in_b, float* in_c);

}  // namespace pintle
