// How a share-bonus record shows in a test failure.
#pragma once
#include <ostream>

#include "net/net.h"

namespace pintle {

inline void PrintTo(const ShareBonusRecord& r, std::ostream* os) {
    *os << "{" << r.ex_date << ", " << r.bonus_shares << ", " << r.rights_shares << ", " << r.rights_price << ", "
        << r.cash << "}";
}

}  // namespace pintle
