#include "formula/boundary_state.h"

#include <algorithm>
#include <limits>

namespace pintle {

namespace {
// Exists from static construction to static destruction of the library.
BoundaryState g_boundary;
}  // namespace

BoundaryState& Boundary() { return g_boundary; }

int32_t TdxSelectorIndex() {
    const int64_t index = int64_t{g_boundary.tdx_selector.load()} - 1;
    return static_cast<int32_t>(std::max<int64_t>(index, std::numeric_limits<int32_t>::min()));
}

}  // namespace pintle
