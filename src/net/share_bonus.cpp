// The share-bonus records of each code: fetched once per code, at most one
// page in any 5 seconds across the process, kept until unload.
#include "common/clock.h"
#include "common/throttle.h"
#include "common/local_time.h"
#include "common/settings.h"
#include "common/text.h"
#include "log/plugin_log.h"
#include "net/net.h"
#include "net/net_state.h"
#include "net/share_bonus_page.h"

namespace pintle {
namespace {

constexpr int64_t kFetchIntervalSeconds = 5;

NetState g_net;

}  // namespace

NetState& Net() { return g_net; }

void ResetNetState() { g_net = NetState{}; }

const std::vector<ShareBonusRecord>* FindShareBonus(std::string_view code) {
    const auto it = g_net.share_bonus.find(code);
    return it == g_net.share_bonus.end() ? nullptr : &it->second;
}

void RefreshShareBonus(std::string_view code) {
    const int64_t now = NowSeconds();
    // A clock set back does not stop every fetch until it catches up.
    if (SecondsSince(g_net.last_fetch_time, now) <= kFetchIntervalSeconds) return;
    std::vector<ShareBonusRecord>& records = g_net.share_bonus[std::string(code)];
    records.clear();
    records = FetchShareBonus(code);
    g_net.last_fetch_time = NowSeconds();
}

std::wstring ShareBonusUrl(std::wstring_view host, std::string_view code) {
    std::wstring url = L"http://";
    url += host;
    url += L"/corp/go.php/vISSUE_ShareBonus/stockid/";
    url += AnsiToWide(code);
    url += L".phtml";
    return url;
}

std::vector<ShareBonusRecord> FetchShareBonus(std::string_view code) {
    std::vector<ShareBonusRecord> records;
    const std::wstring& host = CurrentSettings().share_bonus_host;
    if (host.empty()) {
        if (!g_net.no_host_logged) PluginLog::Instance().Write(kNoShareBonusHostLine);
        g_net.no_host_logged = true;
        return records;
    }
    const std::string page = FetchUrl(ShareBonusUrl(host, code));
    if (ParseShareBonusPage(page, records, LocalMidnight) && g_net.capped_codes.emplace(code).second)
        PluginLog::Instance().WriteFormatted(kShareBonusCapLine, {AnsiToWide(code)});
    return records;
}

}  // namespace pintle
