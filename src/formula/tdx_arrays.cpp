#include "formula/tdx_arrays.h"

#include "formula/boundary_state.h"
#include "formula/formula.h"

namespace pintle {

TdxInputs LastInputs(int32_t count, const float* in_a, const float* in_b, const float* in_c) {
    TdxInputs in;
    if (count <= 0) return in;
    const std::size_t last = static_cast<std::size_t>(count) - 1;
    if (in_a) in.a = in_a[last];
    if (in_b) in.b = in_b[last];
    if (in_c) in.c = in_c[last];
    return in;
}

void FillOutput(int32_t count, float* out, float value) {
    if (out == nullptr) return;
    for (int32_t i = 0; i < count; ++i) out[i] = value;
}

std::string TdxCodeText(float code_number) {
    std::string text = std::to_string(TruncateToInt(code_number));
    const std::size_t width = Boundary().hong_kong_mode.load() != 0 ? 5 : 6;
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text;
}

}  // namespace pintle
