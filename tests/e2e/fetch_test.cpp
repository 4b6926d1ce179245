// The fetcher and the share-bonus records against a real HTTP server on
// 127.0.0.1 (bonus-server.exe).
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>

#include "common/clock.h"
#include "common/settings.h"
#include "log/plugin_log.h"
#include "net/net.h"
#include "support/bonus_server.h"
#include "support/plugin_sandbox.h"
#include "support/share_bonus_print.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle {
namespace test {
namespace {

class FetchTest : public ::testing::Test {
protected:
    // Pintle.ini with ShareBonusHost, read as at load.
    void UseHost(const std::wstring& host) {
        ASSERT_TRUE(WriteFileBytes(dir_.File(L"Pintle.ini"), "[Settings]\r\nShareBonusHost=" +
                                                                 std::string(host.begin(), host.end()) + "\r\n"));
        LoadSettings();
    }
    std::vector<std::string> Log() const { return LogMessagesOf(ReadFileBytes(PluginLog::Instance().Path())); }

    TempDir dir_{L"fetch"};
    PluginSandbox sandbox_{dir_.path()};
};

// The tick at which a trickle-head site saw its connection closed.
ULONGLONG ClosedAtTick(const std::string& journal) {
    const std::size_t at = journal.find("closed at tick ");
    return at == std::string::npos ? 0 : std::stoull(journal.substr(at + 15));
}

TEST_F(FetchTest, ServersThatFailOrMisbehaveAreGivenUpWithinTheDeadline) {
    const struct {
        const wchar_t* mode;
        bool stopped;     // nothing listens on its port any more
        const char* log;
        bool log_url;     // the log line ends in the URL
    } cases[] = {
        {L"files", true, nullptr, false},
        {L"silent", false, nullptr, false},  // 5 s without a byte of the head
        // 5 s without a byte of the body: the socket's time-out, WSAETIMEDOUT.
        {L"stall", false, "InternetReadFile error = 10060", false},
        {L"trickle", false, "网页 10 秒内未收完，整页丢弃: ", true},
        {L"trickle-head", false, "网页 10 秒内未收完，整页丢弃: ", true},
        {L"flood", false, "网页超过 4194304 字节，整页丢弃: ", true},
    };
    for (const auto& c : cases) {
        const std::string mode(c.mode, c.mode + wcslen(c.mode));
        BonusServer server(c.mode, dir_.path());
        ASSERT_TRUE(server.Started());
        if (c.stopped) server.Stop();
        const std::wstring url = ShareBonusUrl(server.Host(), "600000");
        const std::size_t logged = Log().size();
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(FetchUrl(url), "") << mode;
        const ULONGLONG end = GetTickCount64();
        EXPECT_LE(end - start, kFetchDeadlineMs + 500) << mode;
        const std::vector<std::string> lines = Log();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + logged, lines.end()),
                  c.log ? std::vector<std::string>{c.log + (c.log_url ? std::string(url.begin(), url.end()) : "")}
                        : std::vector<std::string>{})
            << mode;
        if (mode == "trickle-head") {
            // The site sees the connection end at the deadline, not when a
            // later wait would have run out.
            Sleep(1000);
            const ULONGLONG closed = ClosedAtTick(server.Journal());
            EXPECT_GE(closed, start + kFetchDeadlineMs - 100) << server.Journal();
            EXPECT_LE(closed, start + kFetchDeadlineMs + 2000) << server.Journal();
        }
    }
}

TEST_F(FetchTest, ANameThatCannotBeLookedUpGivesNothingWithinTheDeadline) {
    const std::size_t logged = Log().size();
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(FetchUrl(L"http://no-such-host.invalid/corp/x.phtml"), "");
    EXPECT_LE(GetTickCount64() - start, kFetchDeadlineMs + 500);
    EXPECT_EQ(Log().size(), logged);
}

TEST_F(FetchTest, RecordsAreFetchedWholeOncePerCodeAndAtMostOncePerFiveSeconds) {
    BonusServer server(L"files", dir_.path());
    ASSERT_TRUE(server.Started());
    UseHost(server.Host());
    ManualClock clock;
    ScopedClock installed(clock);

    EXPECT_EQ(FindShareBonus("600000"), nullptr);
    RefreshShareBonus("600000");
    const auto* records = FindShareBonus("600000");
    ASSERT_NE(records, nullptr);
    // The page lists the newest first, with "--" rows and a rights issue on
    // the ex-date of a dividend; local midnights of UTC+8.
    EXPECT_EQ(*records, (std::vector<ShareBonusRecord>{{1268150400, 0, 2.5f, 4.5f, 0},
                                                       {1563206400, 3, 0, 0, 2},
                                                       {1590508800, 10, 3, 5.8f, 0},
                                                       {1687276800, 3, 0, 0, 1.5f},
                                                       {1720022400, 0, 0, 0, 4.15f}}));

    clock.AdvanceSeconds(5);
    RefreshShareBonus("600036");
    EXPECT_EQ(FindShareBonus("600036"), nullptr);
    clock.AdvanceSeconds(1);
    RefreshShareBonus("600036");  // no page for it: fetched, nothing found
    ASSERT_NE(FindShareBonus("600036"), nullptr);
    EXPECT_TRUE(FindShareBonus("600036")->empty());
    clock.SetNowSeconds(clock.NowSeconds() - 3600);  // the clock set back: no hour without a fetch
    RefreshShareBonus("000001");
    EXPECT_NE(FindShareBonus("000001"), nullptr);

    // A page longer than one read arrives whole, from an address or a name.
    const std::string page = ReadFileBytes(ShareBonusPagesDir() + L"\\600000.phtml");
    ASSERT_GT(page.size(), 4000u);
    EXPECT_EQ(FetchUrl(ShareBonusUrl(server.Host(), "600000")), page);
    const std::wstring port = server.Host().substr(server.Host().find(L':'));
    EXPECT_EQ(FetchUrl(ShareBonusUrl(L"localhost" + port, "600000")), page);

    // The request the plug-in always sent, as HTTP/1.0.
    const std::string journal = server.Journal();
    const std::wstring wide_host = server.Host();
    const std::string host(wide_host.begin(), wide_host.end());
    const std::string request = "GET /corp/go.php/vISSUE_ShareBonus/stockid/600000.phtml HTTP/1.0\r\nAccept: */*\r\n"
                                "Host: " + host + "\r\nUser-Agent: IE9\r\n\r\n";
    EXPECT_EQ(journal.substr(0, request.size()), request) << journal;
    EXPECT_NE(journal.find("GET /corp/go.php/vISSUE_ShareBonus/stockid/600036.phtml "), std::string::npos);
    EXPECT_NE(journal.find("\r\nHost: localhost" + std::string(port.begin(), port.end()) + "\r\n"), std::string::npos);
    std::size_t requests = 0;
    for (std::size_t at = 0; (at = journal.find("GET ", at)) != std::string::npos; ++at) ++requests;
    EXPECT_EQ(requests, 5u);
    EXPECT_EQ(Log(), std::vector<std::string>{});
}

TEST_F(FetchTest, APageOfMoreThanAThousandRecordsKeepsTheLatestAndSaysSoOncePerCode) {
    BonusServer server(L"rows", dir_.path(), L"--rows 1200");  // one ex-date a day, the newest first
    ASSERT_TRUE(server.Started());
    UseHost(server.Host());
    for (const char* code : {"600000", "600000", "600036"}) {
        const std::vector<ShareBonusRecord> records = FetchShareBonus(code);
        ASSERT_EQ(records.size(), kShareBonusRecordCap) << code;
        // The 1000 newest: one a day, up to yesterday.
        EXPECT_EQ(records.back().ex_date - records.front().ex_date, 999u * 86400) << code;
        const auto now = static_cast<uint32_t>(time(nullptr));
        EXPECT_TRUE(records.back().ex_date <= now && records.back().ex_date > now - 3 * 86400) << code;
    }
    EXPECT_EQ(Log(), (std::vector<std::string>{"分红送配记录超过1000条,只保留最近1000条: 600000",
                                               "分红送配记录超过1000条,只保留最近1000条: 600036"}));
}

TEST_F(FetchTest, WithoutAHostNothingIsFetchedAndTheLogSaysSoOnce) {
    ManualClock clock;
    ScopedClock installed(clock);
    RefreshShareBonus("600000");
    clock.AdvanceSeconds(6);
    RefreshShareBonus("600036");
    ASSERT_NE(FindShareBonus("600036"), nullptr);
    EXPECT_TRUE(FindShareBonus("600036")->empty());
    EXPECT_EQ(Log(), std::vector<std::string>{"Pintle.ini 未设置 ShareBonusHost，不获取分红送配记录"});
}

}  // namespace
}  // namespace test
}  // namespace pintle
