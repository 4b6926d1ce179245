#include "common/local_time.h"

#include <cstdio>

namespace pintle {

std::string FormatDate(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
    return buf;
}

std::string FormatTimestamp(const LocalTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buf;
}

}  // namespace pintle
