#include "net/share_bonus_page.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cfloat>
#include <cstddef>
#include <unordered_map>

namespace pintle {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Like the C run-time's integer reading: white space, a sign, digits. Stops
// growing long before int could overflow; no date needs that many digits.
int LeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (value < 100000000) value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

// The parts of text between the separators; stops counting at 4, which no
// caller accepts.
std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == npos ? npos : at - start));
        if (at == npos || parts.size() > 3) return parts;
        start = at + 1;
    }
}

// Calls fn(element) for every element of a tag, each running from "<tag"
// through its "</tag>". A tag that merely begins with the name counts too;
// an opening without a closing ends the search.
template <class Fn>
void ForEachElement(std::string_view text, std::string_view tag, Fn&& fn) {
    const std::string open = "<" + std::string(tag);
    const std::string close = "</" + std::string(tag) + ">";
    std::size_t from = 0;
    for (;;) {
        const std::size_t start = text.find(open, from);
        if (start == npos) return;
        const std::size_t end = text.find(close, start + open.size());
        if (end == npos) return;
        from = end + close.size();
        fn(text.substr(start, from - start));
    }
}

// The text of one table: from its id marker up to its first "</table>".
std::string_view TableText(std::string_view page, int table) {
    const std::string_view marker = table == 1 ? R"(id="sharebonus_1")" : R"(id="sharebonus_2")";
    const std::size_t start = page.find(marker);
    if (start == npos) return {};
    const std::size_t end = page.find("</table>", start + 10);
    if (end == npos) return {};
    return page.substr(start, end - start);
}

// The ex-date of a row from its cell text; false when the row is dropped.
bool ReadExDate(const std::string& text, LocalMidnightFn local_midnight, uint32_t& ex_date) {
    if (text == "--") return false;
    const DateTextFields fields = ReadDateText(text, "0:0:0");
    // Not a date at all: dropped like a "--" row, rather than dated today,
    // which would cut every stored price before today.
    if (!fields.has_date) return false;
    const int64_t seconds = local_midnight(fields.year, fields.month, fields.day);
    // No such day, or outside what a 32-bit time can hold: left at 0, so the
    // row adds nothing.
    if (seconds > 0 && seconds <= static_cast<int64_t>(UINT32_MAX)) ex_date = static_cast<uint32_t>(seconds);
    return true;
}

float Finite(float value) { return std::isfinite(value) ? value : 0.0f; }

}  // namespace

std::string CellText(std::string_view element) {
    const std::size_t open = element.find("<td");
    if (open == npos) return {};
    const std::size_t gt = element.find('>', open + 3);
    if (gt == npos) return {};
    const std::size_t close = element.find("</td>", open + 3);
    const std::string_view inner =
        close != npos && close > gt ? element.substr(gt + 1, close - gt - 1) : element.substr(gt + 1);
    std::string text;
    text.reserve(inner.size());
    for (const char c : inner) {
        if (c != ' ') text += c;
    }
    return text;
}

float CellNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (negative) return 0.0f;
    // Decimal only, like the run-time's reading of a plain number; from_chars
    // reads no sign and ignores the locale. A number too large for a double
    // is reported out of range and leaves the value at 0.
    double value = 0.0;
    std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::general);
    if (!(value > 0.0) || !(value <= FLT_MAX)) return 0.0f;
    return static_cast<float>(value);
}

DateTextFields ReadDateText(std::string_view date, std::string_view time) {
    DateTextFields f;
    bool all_digits = date.size() == 8;
    for (std::size_t i = 0; all_digits && i < 8; ++i) all_digits = IsDigit(date[i]);
    if (all_digits) {
        f.has_date = true;
        f.year = LeadingInteger(date.substr(0, 4));
        f.month = LeadingInteger(date.substr(4, 2));
        f.day = LeadingInteger(date.substr(6, 2));
    } else if (const auto parts = Split(date, '-'); parts.size() == 3) {
        f.has_date = true;
        f.year = LeadingInteger(parts[0]);
        f.month = LeadingInteger(parts[1]);
        f.day = LeadingInteger(parts[2]);
    }
    if (const auto parts = Split(time, ':'); parts.size() == 3) {
        f.has_time = true;
        f.hour = LeadingInteger(parts[0]);
        f.minute = LeadingInteger(parts[1]);
        f.second = LeadingInteger(parts[2]);
    }
    return f;
}

void ParseShareBonusTable(std::string_view page, int table, std::vector<ShareBonusRecord>& records,
                          LocalMidnightFn local_midnight) {
    const std::string_view text = TableText(page, table);
    if (text.empty()) return;
    const int date_cell = table == 1 ? 5 : 4;
    // Table 2: where the first record of each ex-date is, so that a row
    // finds its record without a walk through the list (a walk per row made
    // a page of many rows cost quadratic time).
    std::unordered_map<uint32_t, std::size_t> first_of_date;
    if (table == 2) {
        first_of_date.reserve(records.size());
        for (std::size_t i = 0; i < records.size(); ++i) first_of_date.emplace(records[i].ex_date, i);
    }
    ForEachElement(text, "tr", [&](std::string_view row) {
        ShareBonusRecord record;
        bool dropped = false;
        int cell = 0;
        ForEachElement(row, "td", [&](std::string_view element) {
            const int index = cell++;
            if (dropped) return;
            const std::string value = CellText(element);
            if (index == date_cell) {
                dropped = !ReadExDate(value, local_midnight, record.ex_date);
            } else if (table == 1) {
                if (index == 1 || index == 2) record.bonus_shares = Finite(record.bonus_shares + CellNumber(value));
                if (index == 3) record.cash = CellNumber(value);
            } else {
                if (index == 1) record.rights_shares = CellNumber(value);
                if (index == 2) record.rights_price = CellNumber(value);
            }
        });
        if (dropped || record.ex_date == 0) return;
        if (table == 2) {
            const auto [at, added] = first_of_date.emplace(record.ex_date, records.size());
            if (!added) {
                ShareBonusRecord& known = records[at->second];
                known.rights_shares = record.rights_shares;
                known.rights_price = record.rights_price;
                return;
            }
        }
        records.push_back(record);
    });
}

bool ParseShareBonusPage(std::string_view page, std::vector<ShareBonusRecord>& records,
                         LocalMidnightFn local_midnight) {
    records.clear();
    ParseShareBonusTable(page, 1, records, local_midnight);
    ParseShareBonusTable(page, 2, records, local_midnight);
    std::stable_sort(records.begin(), records.end(),
                     [](const ShareBonusRecord& a, const ShareBonusRecord& b) { return a.ex_date < b.ex_date; });
    if (records.size() <= kShareBonusRecordCap) return false;
    records.erase(records.begin(), records.end() - static_cast<std::ptrdiff_t>(kShareBonusRecordCap));
    return true;
}

}  // namespace pintle
