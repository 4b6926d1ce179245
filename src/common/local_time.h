// Conversions between UTC seconds and the machine's local calendar time.
// The Windows time-zone rules do the work (not the C run-time's TZ parsing),
// so the log, the terminal and the assistant agree on what "local" means.
#pragma once
#include <cstdint>
#include <string>

namespace pintle {

struct LocalTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

LocalTime ToLocalTime(int64_t utc_seconds);
// UTC seconds of 00:00:00 local time on the given day; 0 for an impossible date.
int64_t LocalMidnight(int year, int month, int day);
// UTC seconds of a local date and time; 0 for an impossible one.
int64_t LocalToSeconds(const LocalTime& t);

// "YYYY-MM-DD"
std::string FormatDate(const LocalTime& t);
// "YYYY-MM-DD HH:MM:SS " with the trailing space the log line starts with.
std::string FormatTimestamp(const LocalTime& t);

}  // namespace pintle
