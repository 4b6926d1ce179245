// Reading the share-bonus page: tables, rows, cells, numbers and dates, on
// pages as the site writes them and as a broken or hostile server might.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/clock.h"
#include "common/local_time.h"
#include "net/net.h"
#include "net/share_bonus_page.h"
#include "support/share_bonus_print.h"

namespace pintle {

namespace {

using namespace std::string_literals;

// Local midnights in UTC+8 (the tests run with TZ=CST-8).
constexpr uint32_t k20240305 = 1709568000, k20240315 = 1710432000, k20200527 = 1590508800;

std::string Row(const std::vector<std::string>& cells) {
    std::string row = "<tr>\r\n";
    for (const auto& c : cells) row += "\t<td>" + c + "</td>\r\n";
    return row + "</tr>\r\n";
}
std::string Table(int n, const std::string& rows) {
    return "<table id=\"sharebonus_" + std::to_string(n) + "\"><tbody>" + rows + "</tbody></table>";
}
std::string Dividend(const std::string& bonus, const std::string& conversion, const std::string& cash,
                     const std::string& ex_date) {
    return Row({"2024-01-01", bonus, conversion, cash, "实施", ex_date, "2024-01-02", "--", "查看"});
}

std::vector<ShareBonusRecord> Parse(const std::string& page) {
    std::vector<ShareBonusRecord> records;
    ParseShareBonusTable(page, 1, records, LocalMidnight);
    ParseShareBonusTable(page, 2, records, LocalMidnight);
    return records;
}

TEST(ShareBonusPage, RowsBecomeRecords) {
    const std::string rights = Row({"2020-05-10", "3", "5.8", "2 935 217", "2020-05-27", "2020-05-26"});
    const std::string rights_alone = Row({"2024-02-01", "2.5", "4.5", "880 000", "2024-3-5", "--"});
    const struct {
        const char* what;
        std::string page;
        std::vector<ShareBonusRecord> expected;
    } cases[] = {
        {"bonus is cells 1 + 2, cash cell 3", Table(1, Dividend("2", "3", "1.5", "2024-03-15")),
         {{k20240315, 5, 0, 0, 1.5f}}},
        {"blanks inside a number are removed", Table(1, Dividend("1 5", "0", " 1 . 2 5 ", "20240315")),
         {{k20240315, 15, 0, 0, 1.25f}}},
        {"a 8-character date with dashes is split at -", Table(1, Dividend("1", "0", "0", "2024-3-5")),
         {{k20240305, 1, 0, 0, 0}}},
        {"-- as ex-date drops the row", Table(1, Dividend("1", "0", "2", "--")), {}},
        {"an ex-date that is no date drops the row",
         Table(1, Dividend("1", "0", "2", "待定") + Dividend("1", "0", "2", "2024/03/05") +
                      Dividend("1", "0", "2", "2024-03")),
         {}},
        {"no such day: nothing", Table(1, Dividend("1", "0", "2", "2024-02-30") + Dividend("1", "0", "2", "19000101")),
         {}},
        {"header rows and rows without enough cells add nothing",
         Table(1, "<tr><th>公告日期</th><th>送股</th></tr>" + Row({"2024-01-01", "1", "1", "1", "实施"})), {}},
        {"infinity, NaN, huge and negative numbers count as 0",
         Table(1, Dividend("1e39", "inf", "nan", "2024-03-15") + Dividend("3e38", "3e38", "-2", "2024-03-05") +
                      Dividend("1e400", "-1", "0x10", "2020-05-27")),
         {{k20240315, 0, 0, 0, 0}, {k20240305, 0, 0, 0, 0}, {k20200527, 0, 0, 0, 0}}},
        {"table 2 fills the table 1 record of its ex-date, or adds its own",
         Table(1, Dividend("10", "0", "0", "2020-05-27")) + Table(2, rights + rights_alone),
         {{k20200527, 10, 3, 5.8f, 0}, {k20240305, 0, 2.5f, 4.5f, 0}}},
        {"a table without </table> adds nothing", "<table id=\"sharebonus_1\">" + Dividend("1", "0", "0", "20240315"),
         {}},
        {"unterminated tags end the table",
         Table(1, Dividend("1", "0", "0", "20240315") + "<tr><td>2024</td><td>1</td><td") +
             Table(2, "<tr><td>1<td>2</td><td>3</td><td>4</td><td>2024-03-15"),
         {{k20240315, 1, 0, 0, 0}}},
        {"NUL and binary bytes are only bytes",
         Table(1, Dividend("1\0"s + "9", "\xff\xfe", "\x81-", "2024-03-15\0"s) +
                      Dividend("\x80", "2\xa1\xa1", "\0"s, "2024\0-03-05"s)),
         {{k20240315, 1, 0, 0, 0}, {k20240305, 2, 0, 0, 0}}},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.page), c.expected) << c.what;
}

// A stand-in for local midnight: any day of any month, one number apart.
int64_t DayNumber(int year, int month, int day) { return int64_t{year} * 1000000 + month * 10000 + day; }

TEST(ShareBonusPage, AWholePageComesSortedAndKeepsTheThousandLatestRecords) {
    // Dividends on days 1..1100 of a month, newest first, day 102 twice; rights
    // issues on day 1100, on day 2000 (twice: the second row wins) and on day 50.
    std::string dividends;
    for (int day = 1100; day >= 1; --day) {
        dividends += Dividend("0", "0", "1", "2000-1-" + std::to_string(day));
        if (day == 102) dividends += Dividend("0", "0", "2", "2000-1-102");
    }
    const std::string rights = Row({"a", "3", "5.8", "b", "2000-1-1100"}) + Row({"a", "1", "2", "b", "2000-1-2000"}) +
                               Row({"a", "2", "4", "b", "2000-1-2000"}) + Row({"a", "9", "9", "b", "2000-1-50"});
    std::vector<ShareBonusRecord> records = {{7}};  // replaced
    EXPECT_TRUE(ParseShareBonusPage(Table(2, rights) + Table(1, dividends), records, DayNumber));

    // 1102 records: the oldest 102 go, the first of day 102 (in page order) with them.
    std::vector<ShareBonusRecord> expected = {{2000010102, 0, 0, 0, 2}};
    for (int day = 103; day <= 1100; ++day) expected.push_back({static_cast<uint32_t>(2000010000 + day), 0, 0, 0, 1});
    expected.back().rights_shares = 3;
    expected.back().rights_price = 5.8f;
    expected.push_back({2000012000, 0, 2, 4, 0});
    EXPECT_EQ(records, expected);

    // At most 1000: all of them, and nothing dropped.
    const std::vector<ShareBonusRecord> kept = records;
    std::string newest_first;
    for (auto r = kept.rbegin(); r != kept.rend(); ++r)
        newest_first += Dividend("0", "0", "1", "2000-1-" + std::to_string(r->ex_date - 2000010000));
    EXPECT_FALSE(ParseShareBonusPage(Table(1, newest_first), records, DayNumber));
    EXPECT_EQ(records.size(), kShareBonusRecordCap);
    EXPECT_EQ(records.front().ex_date, 2000010102u);
    EXPECT_EQ(records.back().ex_date, 2000012000u);
}

TEST(ShareBonusPage, CellTextAndNumbers) {
    EXPECT_EQ(CellText("<td align=\"center\"> 1 5 </td>"), "15");
    EXPECT_EQ(CellText("<td><a href=\"x\">查看</a></td>"), "<ahref=\"x\">查看</a>");
    EXPECT_EQ(CellText("<td</td>"), "");
    const struct {
        std::string text;
        float value;
    } numbers[] = {{"1.5", 1.5f}, {"\t\r\n2", 2}, {"+2", 2}, {".5", 0.5f},     {"3.", 3},  {"1e3", 1000},
                   {"2e", 2},     {"3abc", 3},  {"abc", 0},  {"", 0},         {"0x10", 0}, {"-0", 0},
                   {"1e-50", 0},  {"INF", 0},   {"-nan", 0}, {"3.4e38", 3.4e38f}, {"2\0" "5"s, 2}};
    for (const auto& n : numbers) EXPECT_EQ(CellNumber(n.text), n.value) << n.text;
}

TEST(ShareBonusPage, DatesReadOnlyWhatIsThere) {
    const struct {
        const char* date;
        const char* time;
        DateTextFields expected;
    } cases[] = {
        {"20240315", "0:0:0", {true, 2024, 3, 15, true, 0, 0, 0}},
        {"2024-3-5", "10:30:59", {true, 2024, 3, 5, true, 10, 30, 59}},
        {"2024-03-05", "10:30", {true, 2024, 3, 5, false}},
        {"2024年-3月-5", "1:2:3:4", {true, 2024, 3, 5, false}},
        {"2024031", "", {false}},
        {"2024-03-05-1", "::", {false, 0, 0, 0, true, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const DateTextFields f = ReadDateText(c.date, c.time);
        const DateTextFields& e = c.expected;
        EXPECT_EQ((std::vector<int>{f.has_date, f.year, f.month, f.day, f.has_time, f.hour, f.minute, f.second}),
                  (std::vector<int>{e.has_date, e.year, e.month, e.day, e.has_time, e.hour, e.minute, e.second}))
            << c.date << " " << c.time;
    }
    ManualClock clock(k20240315 + 9 * 3600 + 30 * 60);  // 2024-03-15 09:30 local
    ScopedClock installed(clock);
    EXPECT_EQ(ParseLocalDate("2024-3-5", "0:0:0"), k20240305);
    EXPECT_EQ(ParseLocalDate("20240305", "10:30:00"), k20240305 + 37800);
    EXPECT_EQ(ParseLocalDate("待定", "0:0:0"), k20240315);                  // today
    EXPECT_EQ(ParseLocalDate("2024-03-05", "now"), k20240305 + 9 * 3600 + 1800);  // the time of now
    EXPECT_EQ(ParseLocalDate("2024-13-01", "0:0:0"), 0);
}

}  // namespace
}  // namespace pintle
