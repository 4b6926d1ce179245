// INI files read through the system's private-profile functions: Pintle.ini
// beside the terminal's executable, and the terminals' own INI files. The
// plug-in never writes any of them. Windows adapter.
#pragma once
#include <cstddef>
#include <string>

namespace pintle {

// Pintle.ini in the terminal directory.
std::wstring SettingsFilePath();

// The integer of a key, or `fallback` when the file, section or key is missing.
int ReadIniInt(const std::wstring& file, const wchar_t* section, const wchar_t* key, int fallback);

// The text of a key as read into a buffer of `buffer_chars` characters (so at
// most buffer_chars - 1 of them), or `fallback` when it is missing.
std::wstring ReadIniText(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                         std::size_t buffer_chars, const wchar_t* fallback = L"");

}  // namespace pintle
