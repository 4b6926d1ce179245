#include "plugin/boundary_state.h"

#include "plugin/call_lock.h"

namespace pintle {

namespace {
// Both exist from static construction to static destruction of the library.
BoundaryState g_boundary;
CriticalSection g_call_lock;
}  // namespace

BoundaryState& Boundary() { return g_boundary; }
CriticalSection& CallLock() { return g_call_lock; }

}  // namespace pintle
