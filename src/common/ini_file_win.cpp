#include "common/ini_file.h"

#include <windows.h>

#include <vector>

#include "common/paths.h"

namespace pintle {

std::wstring SettingsFilePath() { return TerminalDirectory() + L"Pintle.ini"; }

int ReadIniInt(const std::wstring& file, const wchar_t* section, const wchar_t* key, int fallback) {
    return static_cast<int>(GetPrivateProfileIntW(section, key, fallback, file.c_str()));
}

std::wstring ReadIniText(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                         std::size_t buffer_chars, const wchar_t* fallback) {
    if (buffer_chars == 0) return {};
    std::vector<wchar_t> buf(buffer_chars, L'\0');
    const DWORD n = GetPrivateProfileStringW(section, key, fallback, buf.data(), static_cast<DWORD>(buffer_chars),
                                             file.c_str());
    return std::wstring(buf.data(), n < buffer_chars ? n : buffer_chars - 1);
}

}  // namespace pintle
