// Reading the finance site's share-bonus page: two HTML tables, found by
// their id, whose rows and cells are picked out by plain byte searches. The
// page is untrusted input: every read stays inside the bytes given, whatever
// they hold. Byte-level, no Windows header; the one thing it needs from the
// system, the local midnight of a date, is passed in.
//
// The page is not converted from the ANSI code page: the cells read here are
// digits, ".", "-", blanks and "--", and no byte of those values can be the
// second byte of a double-byte character, so the bytes read exactly as the
// converted text would.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/net.h"

namespace pintle {

// UTC seconds of local midnight of a date; 0 when there is no such day.
using LocalMidnightFn = int64_t (*)(int year, int month, int day);

// Table 1 (dividends: id="sharebonus_1") appends a record per dated row:
// cells 1 + 2 bonus shares, cell 3 cash, cell 5 ex-date. Table 2 (rights
// issues: id="sharebonus_2"): cell 1 rights shares, cell 2 rights price,
// cell 4 ex-date, merged into the first record of the same ex-date already in
// the list, else appended. Cells count from 0. A row is dropped when its
// ex-date cell is "--", is no date, or is missing. The list is not sorted.
void ParseShareBonusTable(std::string_view page, int table, std::vector<ShareBonusRecord>& records,
                          LocalMidnightFn local_midnight);

// The records of a whole page: table 1, then table 2 merged in, sorted by
// ex-date (equal dates keep page order); of more than kShareBonusRecordCap,
// only the kShareBonusRecordCap with the latest ex-dates (the last ones) are
// kept. `records` is replaced; true when some were dropped. Linear in the
// page's size, apart from the sort.
bool ParseShareBonusPage(std::string_view page, std::vector<ShareBonusRecord>& records,
                         LocalMidnightFn local_midnight);

// The text of a "td" element between its ">" and "</td>", blanks removed.
std::string CellText(std::string_view element);

// A cell's number as the C run-time reads a wide string as a double (leading
// white space, a sign, a decimal number with an optional exponent; text that
// does not start with one reads 0), in single precision; infinity, NaN and
// negative values count as 0.
float CellNumber(std::string_view text);

// Calendar fields of a date text and a time text; a part that cannot be read
// is marked absent. Date: 8 characters that are all digits read as YYYYMMDD;
// anything else is split at "-" and gives a date when it has exactly three
// parts, each read as a leading decimal integer. Time: exactly three parts at
// ":".
struct DateTextFields {
    bool has_date = false;
    int year = 0, month = 0, day = 0;
    bool has_time = false;
    int hour = 0, minute = 0, second = 0;
};
DateTextFields ReadDateText(std::string_view date, std::string_view time);

}  // namespace pintle
