#include "formula/boundary_state.h"

#include "formula/call_lock.h"

namespace pintle {

namespace {
// All three exist from static construction to static destruction of the library.
BoundaryState g_boundary;
CriticalSection g_call_lock;
CriticalSection g_quote_lock;
}  // namespace

BoundaryState& Boundary() { return g_boundary; }
CriticalSection& CallLock() { return g_call_lock; }
CriticalSection& QuoteLock() { return g_quote_lock; }

}  // namespace pintle
