#include "plugin/boundary_state.h"

namespace pintle {

namespace {
BoundaryState g_boundary;
}

BoundaryState& Boundary() { return g_boundary; }

}  // namespace pintle
