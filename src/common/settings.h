// Pintle.ini, read once when the terminal loads the plug-in: section
// "Settings" with OnlyTradeTime, path and ShareBonusHost. A missing file or
// key gives the default. The file is never written; a change takes effect at
// the next load.
#pragma once
#include <string>

namespace pintle {

struct Settings {
    bool only_trade_time = false;    // OnlyTradeTime non-zero: Set checks the trade day
    std::wstring custom_path;        // path: own store elsewhere, read-only; empty = default
    std::wstring share_bonus_host;   // ShareBonusHost: host or host:port of the finance site
};

// Reads Pintle.ini in the terminal directory (load sequence).
void LoadSettings();
// The settings of this load; defaults before LoadSettings.
const Settings& CurrentSettings();
// Back to the defaults (tests).
void ResetSettings();

}  // namespace pintle
