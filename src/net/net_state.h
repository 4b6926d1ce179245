// What the market-data subsystem keeps for the life of the loaded library:
// the share-bonus records of every code fetched so far, the time of the last
// page fetch, and which of the lines written once were written. Created
// empty at load, freed at unload, touched only with the call lock held.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/net.h"

namespace pintle {

struct NetState {
    // Code (ANSI bytes, compared byte-wise) to its records. Codes are added,
    // never removed; an empty list is a code that was fetched.
    std::map<std::string, std::vector<ShareBonusRecord>, std::less<>> share_bonus;
    int64_t last_fetch_time = 0;  // seconds since 1970, after the last page fetch
    bool no_host_logged = false;
    // Codes whose page gave more records than kShareBonusRecordCap: the line
    // that says so is written once per code.
    std::set<std::string, std::less<>> capped_codes;
};

NetState& Net();

}  // namespace pintle
