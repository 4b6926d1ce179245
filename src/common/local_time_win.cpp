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

int64_t LocalMidnight(int year, int month, int day) {
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    SYSTEMTIME utc{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) return 0;
    return FromSystemTime(utc);
}

}  // namespace pintle
