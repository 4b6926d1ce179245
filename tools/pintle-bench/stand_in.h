// Runs a stand-in for the benchmark: the assistant Kovalt.exe, started from
// its own directory (its value store and screening files live there) and
// waited for until its block is published, or the finance site
// bonus-server.exe, waited for until it listens; stopped through its quit
// event.
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

    // Starts dir\exe with the options; false (and why) when it did not say
    // it is ready within 20 s.
    bool Start(const std::wstring& dir, const std::wstring& exe, const std::vector<std::wstring>& options,
               std::wstring* error);
    void Stop();

private:
    pintle::UniqueHandle process_;
    pintle::UniqueHandle quit_;
};

}  // namespace bench
