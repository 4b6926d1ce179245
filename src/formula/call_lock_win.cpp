#include "formula/call_lock.h"

namespace pintle {

namespace {
// Both exist from static construction to static destruction of the library.
CriticalSection g_call_lock;
CriticalSection g_quote_lock;
}  // namespace

CriticalSection& CallLock() { return g_call_lock; }
CriticalSection& QuoteLock() { return g_quote_lock; }

}  // namespace pintle
