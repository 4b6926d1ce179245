#include "log/log_line.h"

#include "common/text.h"

namespace pintle {

std::string ComposeLogLine(const LocalTime& when, std::wstring_view message) {
    std::string line = FormatTimestamp(when);
    line += WideToUtf8(message);
    line += "\r\n";
    return line;
}

std::wstring LogFileName(const LocalTime& day) {
    const std::string date = FormatDate(day);
    return std::wstring(date.begin(), date.end()) + L".log";
}

}  // namespace pintle
