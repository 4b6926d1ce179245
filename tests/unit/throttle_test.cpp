// The per-key throttle every "at most once a minute" line goes through.
#include <gtest/gtest.h>

#include <string>

#include "common/throttle.h"

namespace pintle {
namespace {

TEST(ThrottleTable, OncePerIntervalPerKeyAClockSetBackLetsThroughAndOldEntriesGo) {
    ThrottleTable<std::string> table(60);
    struct Step { const char* key; int64_t now; bool allowed; };
    const Step steps[] = {
        {"a", 1000, true}, {"a", 1059, false}, {"b", 1059, true},  {"a", 1060, true},
        {"a", 1119, false}, {"a", 400, true},  {"a", 459, false}, {"a", 460, true},
    };
    for (const Step& s : steps) EXPECT_EQ(table.Allow(s.key, s.now), s.allowed) << s.key << " " << s.now;

    // Past 10,000 keys, those older than the interval are dropped.
    ThrottleTable<int> many(60);
    for (int k = 0; k < 10000; ++k) many.Allow(k, 0);
    EXPECT_EQ(many.Size(), 10000u);
    many.Allow(-1, 59);  // nothing old enough yet
    EXPECT_EQ(many.Size(), 10001u);
    many.Allow(-2, 60);  // all 10,000 from time 0 go; -1 and -2 stay
    EXPECT_EQ(many.Size(), 2u);
    EXPECT_FALSE(many.Allow(-1, 61));
    EXPECT_TRUE(many.Allow(5, 61));
}

}  // namespace
}  // namespace pintle
