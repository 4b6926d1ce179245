// Runs the stand-in assistant Kovalt.exe for the benchmark: started from its
// own directory (its value store and screening files live there), waited
// for until its block is published, stopped through its quit event.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/win.h"

namespace bench {

class StandIn {
public:
    StandIn() = default;
    ~StandIn() { Stop(); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Starts dir\Kovalt.exe with the options; false (and why) when it did
    // not publish its block within 20 s.
    bool Start(const std::wstring& dir, const std::vector<std::wstring>& options, std::wstring* error);
    void Stop();

private:
    pintle::UniqueHandle process_;
    pintle::UniqueHandle quit_;
};

}  // namespace bench
