// The bytes of one log line: local time "YYYY-MM-DD HH:MM:SS ", the message
// as UTF-8, CR LF. Byte-level, no Windows.
#pragma once
#include <string>
#include <string_view>

#include "common/local_time.h"

namespace pintle {

std::string ComposeLogLine(const LocalTime& when, std::wstring_view message);
// The same into `out` (emptied first), with the time already formatted by
// FormatTimestamp: a writer keeps one buffer and one time text per second.
void ComposeLogLineInto(std::string& out, std::string_view timestamp, std::wstring_view message);

// File name of the day's log: "YYYY-MM-DD.log".
std::wstring LogFileName(const LocalTime& day);

// Directory name of the log beside the terminal's executable.
inline constexpr wchar_t kLogDirectoryName[] = L"助手日志";

}  // namespace pintle
