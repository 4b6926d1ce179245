#include "common/local_time.h"

#include <cstdio>

namespace pintle {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kLastFixedSeconds = LocalTimeRules::kLastFixedSeconds;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0); }

}  // namespace

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int64_t LocalMidnight(int year, int month, int day) {
    LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    return LocalToSeconds(t);
}

// Every moment of a zone without daylight-saving rules has the offset of
// this one.
void LocalTimeRules::TakeFixedOffset() {
    constexpr int64_t kReference = 1700000000;
    const LocalTime t = ToLocalTime(kReference);
    offset_ = DaysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second -
              kReference;
    fixed_ = true;
}

LocalTime LocalTimeRules::ToLocal(int64_t utc_seconds) const {
    if (!fixed_ || utc_seconds < 0 || utc_seconds > kLastFixedSeconds) return ToLocalTime(utc_seconds);
    const int64_t local = utc_seconds + offset_;
    const int64_t days = FloorDiv(local, kSecondsPerDay);
    const int64_t second_of_day = local - days * kSecondsPerDay;
    LocalTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(second_of_day / 3600);
    t.minute = static_cast<int>(second_of_day / 60 % 60);
    t.second = static_cast<int>(second_of_day % 60);
    return t;
}

int64_t LocalTimeRules::LocalDayOtherwise(int64_t utc_seconds) const {
    if (!fixed_ || utc_seconds < 0 || utc_seconds > kLastFixedSeconds) {
        const LocalTime t = ToLocalTime(utc_seconds);
        return DaysFromCivil(t.year, t.month, t.day);
    }
    return FloorDiv(utc_seconds + offset_, kSecondsPerDay);
}


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
