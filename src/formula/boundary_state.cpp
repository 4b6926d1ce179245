#include "formula/boundary_state.h"

namespace pintle {

namespace {
// Exists from static construction to static destruction of the library.
BoundaryState g_boundary;
}  // namespace

BoundaryState& Boundary() { return g_boundary; }

}  // namespace pintle
