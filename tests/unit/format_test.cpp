// Text: printf-style messages, log lines, local time rules, UTF-8, codes
// and fixed fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <tuple>

#include "common/format.h"
#include "common/local_time.h"
#include "common/text.h"
#include "formula/formula.h"
#include "log/log_line.h"

namespace pintle {
namespace {

TEST(FormatText, FollowsPrintfForTheConversionsMessagesUse) {
    EXPECT_EQ(FormatText(L"接收到 公式%d %s %s %.4f元 量*条件=%d股 ", {3, L"买入", L"600000", 10.5, 300}),
              L"接收到 公式3 买入 600000 10.5000元 量*条件=300股 ");
    EXPECT_EQ(FormatText(L"%s:Log=%.3f", {L"600000", 2.5f}), L"600000:Log=2.500");
    EXPECT_EQ(FormatText(L"运算溢出 %d", {INT32_MIN}), L"运算溢出 -2147483648");
    EXPECT_EQ(FormatText(L"%.2f|%f|100%%", {-1.005, 0.25}), L"-1.00|0.250000|100%");
    // Missing and mistyped arguments are tolerated.
    EXPECT_EQ(FormatText(L"a%db%sc", {}), L"abc");
    EXPECT_EQ(FormatText(L"%d %s", {L"x", 7}), L"x 7");
    EXPECT_EQ(FormatText(L"%x %", {1}), L"%x %");
}

// %.Nf takes its digits from a faster routine than printf: they must be
// printf's own, ties and extremes included.
TEST(FormatText, FixedDigitsAreExactlyPrintfs) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (const double v : {0.125, 0.375, 2.675, 1.005, -0.0, double{10.5f}, double{12.345f}, 1e17, -1e300, 5e-324, inf,
                           -inf, nan, -nan}) {
        for (const int precision : {0, 2, 4, 6, 20, 60}) {
            char want[512];
            std::snprintf(want, sizeof want, "%.*f", precision, v);
            const std::wstring format = L"%." + std::to_wstring(precision) + L"f";
            EXPECT_EQ(WideToUtf8(FormatText(format, {v})), want) << precision;
        }
    }
}

TEST(LogLine, IsLocalTimeMessageAsUtf8AndCrLf) {
    LocalTime t;
    t.year = 2026; t.month = 3; t.day = 5; t.hour = 9; t.minute = 30; t.second = 5;
    EXPECT_EQ(ComposeLogLine(t, L"abc"), "2026-03-05 09:30:05 abc\r\n");
    EXPECT_EQ(ComposeLogLine(t, L"买入\n2"), "2026-03-05 09:30:05 \xe4\xb9\xb0\xe5\x85\xa5\n2\r\n");
    EXPECT_EQ(LogFileName(t), L"2026-03-05.log");
}

// The rules read once for a chart must convert exactly as the per-time
// conversions do: every day from 1970 to 2106, the ends of the calendar, and
// dates that do not exist.
TEST(LocalTimeRules, ConvertExactlyAsTheSystemDoes) {
    const LocalTimeRules rules;
    for (int64_t t = 0; t <= 4294967295LL; t += 86400 + 3599) {
        const LocalTime want = ToLocalTime(t), got = rules.ToLocal(t);
        ASSERT_EQ(std::tie(got.year, got.month, got.day, got.hour, got.minute, got.second),
                  std::tie(want.year, want.month, want.day, want.hour, want.minute, want.second)) << t;
        ASSERT_EQ(rules.LocalDay(t), DaysFromCivil(want.year, want.month, want.day)) << t;
        ASSERT_EQ(rules.ToSeconds(want), LocalToSeconds(want)) << t;
    }
    const int fields[][6] = {{2024, 2, 29, 0, 0, 0}, {2023, 2, 29, 0, 0, 0}, {2100, 2, 29, 9, 30, 0},
                             {2000, 2, 29, 23, 59, 59}, {2024, 4, 31, 0, 0, 0}, {2024, 13, 1, 0, 0, 0},
                             {2024, 1, 0, 0, 0, 0}, {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0},
                             {1601, 1, 1, 0, 0, 0}, {1602, 1, 1, 0, 0, 0}, {30827, 12, 31, 23, 59, 59},
                             {30826, 12, 31, 0, 0, 0}, {1600, 12, 31, 0, 0, 0}};
    for (const auto& f : fields) {
        const LocalTime t{f[0], f[1], f[2], f[3], f[4], f[5]};
        EXPECT_EQ(rules.ToSeconds(t), LocalToSeconds(t)) << f[0] << "-" << f[1] << "-" << f[2];
    }
}

TEST(Text, Utf8MarketMarksAndFields) {
    // UTF-8: surrogate pairs encoded, lone ones replaced.
    EXPECT_EQ(WideToUtf8(L"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xDC00))), "\xEF\xBF\xBD");

    // Market marks are removed, but not in mixed case.
    EXPECT_EQ(NormaliseCode(L"SH600000"), L"600000");
    EXPECT_EQ(NormaliseCode(L"sz000001"), L"000001");
    EXPECT_EQ(NormaliseCode(L"600000.SH"), L"600000");
    EXPECT_EQ(NormaliseCode(L"Sh600000"), L"Sh600000");
    // Removal runs pass by pass over the whole text: "sSHh" loses its inner SH
    // only after the "sh" pass has run, so the outer letters stay.
    EXPECT_EQ(NormaliseCode(L"sSHh1"), L"sh1");

    // A field is read at most to its size and copied with a terminator.
    const char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(FieldText(full, 4), "abcd");
    char field[4];
    CopyToField(field, sizeof field, "123456");
    EXPECT_EQ(std::string(field, 4), std::string("123\0", 4));
}

}  // namespace
}  // namespace pintle
