// The call lock: serialises formula work across the terminal process. It is
// taken after the quote lock and before the named mutexes and the log's lock.
#pragma once
#include "common/win.h"

namespace pintle {

CriticalSection& CallLock();

// Holds the call lock for one scope.
class CallLockHold {
public:
    CallLockHold() : hold_(CallLock()) {}

private:
    ScopedLock hold_;
};

}  // namespace pintle
