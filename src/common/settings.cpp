#include "common/settings.h"

#include "common/ini_file.h"

namespace pintle {
namespace {

// Written at load, under the loader lock, before any formula call; read-only
// afterwards.
Settings g_settings;

}  // namespace

void LoadSettings() {
    const std::wstring file = SettingsFilePath();
    Settings s;
    s.only_trade_time = ReadIniInt(file, L"Settings", L"OnlyTradeTime", 0) != 0;
    s.custom_path = ReadIniText(file, L"Settings", L"path", 255);
    s.share_bonus_host = ReadIniText(file, L"Settings", L"ShareBonusHost", 255);
    g_settings = std::move(s);
}

const Settings& CurrentSettings() { return g_settings; }

void ResetSettings() { g_settings = Settings{}; }

}  // namespace pintle
