// What the market-data subsystem offers the rest of the plug-in: one HTTP
// GET, and per stock code the company's dividend, bonus-share and
// rights-issue history (its share-bonus records) read from the finance
// site's share-bonus page. Everything here runs with the call lock held; no
// function keeps a lock of its own. No Windows header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pintle {

// One ex-date of a company. Every float is finite and not negative (a cell
// that cannot give such a number counts as 0): no field is infinity or NaN,
// and no divisor of a price adjustment (bonus_shares x 0.1 + 1, rights_shares
// x 0.1 + 1) can be 0 or below.
struct ShareBonusRecord {
    uint32_t ex_date = 0;        // seconds since 1970 of local midnight on the ex-date; never 0
    float bonus_shares = 0;      // bonus plus conversion shares per 10 shares
    float rights_shares = 0;     // rights shares per 10 shares
    float rights_price = 0;      // price of one rights share
    float cash = 0;              // cash dividend per 10 shares, before tax

    bool operator==(const ShareBonusRecord&) const = default;
};

// The records of a code as last fetched, in ascending ex-date order (equal
// dates keep page order), at most kShareBonusRecordCap of them, or null when
// the code was never fetched. An empty list means "fetched, nothing found"
// (or the page could not be had). The pointer stays valid while the library
// is loaded (until ResetNetState).
const std::vector<ShareBonusRecord>* FindShareBonus(std::string_view code);

// Fetches the page of a code and stores what it holds as the code's records,
// unless a page was fetched 5 seconds ago or less (any code): then it returns
// at once without a word, and the code stays as it was. It never waits. Meant
// for a code FindShareBonus does not know (a known code would be fetched
// again and its list replaced); look it up again afterwards.
void RefreshShareBonus(std::string_view code);

// The page of one code, fetched and parsed now, without the map and the
// throttle (ParseShareBonusPage: sorted, capped). Without a ShareBonusHost
// in Pintle.ini nothing is fetched and the log says so once per process
// (kNoShareBonusHostLine); records dropped by the cap are logged once per
// code (kShareBonusCapLine).
std::vector<ShareBonusRecord> FetchShareBonus(std::string_view code);

// "http://" + host + "/corp/go.php/vISSUE_ShareBonus/stockid/" + code + ".phtml",
// the code taken as ANSI text.
std::wstring ShareBonusUrl(std::wstring_view host, std::string_view code);

// Seconds since 1970 of a local date ("20240315", or "2024-3-15" split at
// "-") and time ("H:M:S"). A part that cannot be read is taken from the
// current local date or time; 0 when the result is no real local time.
int64_t ParseLocalDate(std::string_view date, std::string_view time);

// One plain HTTP/1.0 GET of an http:// URL (no proxy, no redirect); the body
// exactly as sent, empty on any failure. Bounded: from the name lookup to the
// last byte of the body it returns within the deadline and a few
// milliseconds, whatever the server does. A host that cannot be looked up or
// reached, or does not answer the request within a wait, gives nothing
// without a word; a response that does not end within the deadline (in its
// head or in its body) or whose body grows past the cap is dropped whole (a
// cut page would parse into missing rows) with one log line; a body read
// that fails, waits in vain, or ends short of its Content-Length drops it
// with "InternetReadFile error = %d" (WSAETIMEDOUT 10060 for a wait in vain,
// ERROR_HANDLE_EOF 38 for a short body). Creates no thread. A name is looked
// up by the system's resolver, waited for until the deadline; Windows 7 has
// no such wait, and there the lookup of a name that is not cached is bounded
// by the resolver's own time-outs (fetch_win.cpp).
std::string FetchUrl(std::wstring_view url);

inline constexpr uint32_t kFetchConnectTimeoutMs = 5000;
inline constexpr uint32_t kFetchSendTimeoutMs = 5000;
inline constexpr uint32_t kFetchReceiveTimeoutMs = 5000;  // per wait for bytes
inline constexpr uint32_t kFetchDeadlineMs = 10000;       // all of it, from the start
inline constexpr std::size_t kFetchBodyCap = 4u << 20;    // bytes

// A code keeps at most this many records: those with the latest ex-dates.
// A real company has a few dozen; a page of thousands of rows is broken or
// hostile, and every TDX 34 price read walks the records of its code.
inline constexpr std::size_t kShareBonusRecordCap = 1000;

// Log lines of this subsystem besides "InternetReadFile error = %d".
inline constexpr wchar_t kNoShareBonusHostLine[] = L"Pintle.ini 未设置 ShareBonusHost，不获取分红送配记录";
inline constexpr wchar_t kFetchCapLine[] = L"网页超过 %d 字节，整页丢弃: %s";
inline constexpr wchar_t kFetchDeadlineLine[] = L"网页 %d 秒内未收完，整页丢弃: %s";
// Once per code whose page gave more than kShareBonusRecordCap records (%s the code).
inline constexpr wchar_t kShareBonusCapLine[] = L"分红送配记录超过1000条,只保留最近1000条: %s";

// Back to the state at load: no records, no fetch yet, the missing-host line
// not written (tests).
void ResetNetState();

}  // namespace pintle
