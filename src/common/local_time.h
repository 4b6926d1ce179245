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

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back.
constexpr int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}
void CivilFromDays(int64_t days, int& year, int& month, int& day);
// Days in a month of the proleptic Gregorian calendar.
constexpr int DaysInMonth(int64_t year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The machine's time-zone rules as they stand when made, for the many
// conversions of one call (the bars and history entries of a chart). Each
// ToLocalTime and LocalToSeconds asks the system for its rules again, which
// costs ten times the conversion itself. Made once per call, not kept, so a
// change of the machine's time zone is seen by the next call, and used by
// one thread. Gives exactly
// what ToLocalTime and LocalToSeconds give: where the zone keeps no
// daylight-saving time (the offset is the same at every moment) it takes
// that offset from one ordinary conversion and does the calendar itself;
// elsewhere it simply calls them.
class LocalTimeRules {
public:
    LocalTimeRules();
    LocalTime ToLocal(int64_t utc_seconds) const;
    // Inline, like LocalDay: a chart asks it for every bar.
    int64_t ToSeconds(const LocalTime& t) const {
        // Only a date and time that surely exist are done here: what a system
        // makes of any other (Wine takes 29 February of every year) is left
        // to it.
        if (!fixed_ || t.year < kFirstFixedYear || t.year > kLastFixedYear || t.month < 1 || t.month > 12 ||
            t.day < 1 || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
            return LocalToSeconds(t);
        // Bars come day after day: the month's first day and length are
        // worked out once per month.
        if (t.year != month_year_ || t.month != month_) {
            month_start_ = DaysFromCivil(t.year, t.month, 1);
            month_days_ = DaysInMonth(t.year, t.month);
            month_year_ = t.year;
            month_ = t.month;
        }
        if (t.day > month_days_) return LocalToSeconds(t);
        return (month_start_ + t.day - 1) * 86400 + t.hour * 3600 + t.minute * 60 + t.second - offset_;
    }
    // Days from 1970-01-01 to the local date of a time (of ToLocal's date).
    // Inline: a chart asks it for every bar and every history entry.
    int64_t LocalDay(int64_t utc_seconds) const {
        if (!fixed_ || utc_seconds < 0 || utc_seconds > kLastFixedSeconds) return LocalDayOtherwise(utc_seconds);
        const int64_t local = utc_seconds + offset_;  // >= 0 - 14 hours
        return local >= 0 ? local / 86400 : -((-local + 86399) / 86400);
    }

    // The fixed-offset calendar covers these times (1970 to 3000, UTC
    // seconds) and years; the system's own range reaches a little further
    // each way, so times and dates near its ends take the system's way.
    static constexpr int64_t kLastFixedSeconds = 32503680000;
    static constexpr int kFirstFixedYear = 1602, kLastFixedYear = 30826;

private:
    // Called by the constructor (the system's adapter) when the zone keeps
    // one offset all year.
    void TakeFixedOffset();
    int64_t LocalDayOtherwise(int64_t utc_seconds) const;

    bool fixed_ = false;
    int64_t offset_ = 0;  // local minus UTC, in seconds, when fixed_
    // The month ToSeconds saw last (an object serves one call on one thread).
    mutable int month_year_ = 0, month_ = 0, month_days_ = 0;
    mutable int64_t month_start_ = 0;
};

// "YYYY-MM-DD"
std::string FormatDate(const LocalTime& t);
// "YYYY-MM-DD HH:MM:SS " with the trailing space the log line starts with.
std::string FormatTimestamp(const LocalTime& t);

}  // namespace pintle
