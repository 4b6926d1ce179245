#include "formula/tdx_arrays.h"

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#endif

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
    if (out == nullptr || count <= 0) return;
    int32_t i = 0;
#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
    // Every TDX call fills its whole output (10,000 floats on a long chart):
    // sixteen at a time, about four times the speed of one at a time. The
    // bits of the value are copied unchanged, NaN payloads included.
    const __m128 v = _mm_set1_ps(value);
    for (; i + 16 <= count; i += 16) {
        _mm_storeu_ps(out + i, v);
        _mm_storeu_ps(out + i + 4, v);
        _mm_storeu_ps(out + i + 8, v);
        _mm_storeu_ps(out + i + 12, v);
    }
#endif
    for (; i < count; ++i) out[i] = value;
}

std::string TdxCodeText(float code_number) {
    std::string text = std::to_string(TruncateToInt(code_number));
    const std::size_t width = Boundary().hong_kong_mode.load() != 0 ? 5 : 6;
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text;
}

}  // namespace pintle
