// The two process-wide locks of formula work. The quote lock guards the
// SendQuote batch and is always taken first; the call lock serialises
// formula work across the terminal process and is taken after the quote
// lock and before the named mutexes and the log's lock. Both live from
// static construction to static destruction of the library.
#pragma once
#include "common/win.h"

namespace pintle {

CriticalSection& CallLock();
CriticalSection& QuoteLock();

// Holds the call lock for one scope.
class CallLockHold {
public:
    CallLockHold() : hold_(CallLock()) {}

private:
    ScopedLock hold_;
};

}  // namespace pintle
