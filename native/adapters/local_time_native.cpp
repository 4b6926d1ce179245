// Local time for the native build. The native build plays a machine in
// UTC+8 (TZ=CST-8, as the tests under Wine do), whatever the machine it runs
// on says, and keeps the Windows adapter's limits: no time before 1970 and
// none past the last day Windows can show; impossible dates give 0.
#include <stdlib.h>
#include <time.h>

#include <mutex>

#include "common/local_time.h"

namespace pintle {
namespace {

// 30827-12-31 23:59:59 UTC, the last second a Windows SYSTEMTIME holds.
constexpr int64_t kLastWindowsSecond = 910692730085LL;

void UsePlayedZone() {
    static std::once_flag once;
    std::call_once(once, [] {
        setenv("TZ", "CST-8", 1);
        tzset();
    });
}

}  // namespace

LocalTime ToLocalTime(int64_t utc_seconds) {
    UsePlayedZone();
    LocalTime out;
    if (utc_seconds < 0 || utc_seconds > kLastWindowsSecond) return out;
    const time_t t = static_cast<time_t>(utc_seconds);
    struct tm local {};
    if (localtime_r(&t, &local) == nullptr) return out;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    return out;
}

// The played zone keeps no daylight-saving time: every moment has the
// offset of this one, as on a Windows machine in UTC+8.
LocalTimeRules::LocalTimeRules() { TakeFixedOffset(); }

int64_t LocalToSeconds(const LocalTime& t) {
    UsePlayedZone();
    if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 ||
        t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
        return 0;
    struct tm local {};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    const time_t seconds = mktime(&local);
    // mktime rolls 30 February over into March; Windows refuses such a day.
    if (local.tm_mday != t.day || local.tm_mon != t.month - 1) return 0;
    return static_cast<int64_t>(seconds);
}

}  // namespace pintle
