#include "common/local_time.h"

#include <windows.h>

namespace pintle {
namespace {

constexpr int64_t kEpochDiff = 11644473600LL;  // seconds from 1601 to 1970

bool ToSystemTime(int64_t utc_seconds, SYSTEMTIME& st) {
    const uint64_t t = static_cast<uint64_t>(utc_seconds + kEpochDiff) * 10000000ULL;
    FILETIME ft{static_cast<DWORD>(t & 0xffffffffu), static_cast<DWORD>(t >> 32)};
    return FileTimeToSystemTime(&ft, &st) != 0;
}

int64_t FromSystemTime(const SYSTEMTIME& st) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return 0;
    const uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>(t / 10000000ULL) - kEpochDiff;
}

}  // namespace

LocalTime ToLocalTime(int64_t utc_seconds) {
    LocalTime out;
    SYSTEMTIME utc{}, local{};
    if (utc_seconds < 0 || !ToSystemTime(utc_seconds, utc)) return out;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    out.year = local.wYear;
    out.month = local.wMonth;
    out.day = local.wDay;
    out.hour = local.wHour;
    out.minute = local.wMinute;
    out.second = local.wSecond;
    return out;
}

LocalTimeRules::LocalTimeRules() {
    TIME_ZONE_INFORMATION zone{};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return;
    if (zone.DaylightDate.wMonth != 0 || zone.StandardDate.wMonth != 0) return;  // the offset changes in the year
    TakeFixedOffset();  // no daylight-saving rules
}

int64_t LocalToSeconds(const LocalTime& t) {
    if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 ||
        t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
        return 0;
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(t.year);
    local.wMonth = static_cast<WORD>(t.month);
    local.wDay = static_cast<WORD>(t.day);
    local.wHour = static_cast<WORD>(t.hour);
    local.wMinute = static_cast<WORD>(t.minute);
    local.wSecond = static_cast<WORD>(t.second);
    SYSTEMTIME utc{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) return 0;
    return FromSystemTime(utc);
}

}  // namespace pintle
