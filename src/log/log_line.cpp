#include "log/log_line.h"

#include "common/text.h"

namespace pintle {

std::string ComposeLogLine(const LocalTime& when, std::wstring_view message) {
    std::string line;
    ComposeLogLineInto(line, FormatTimestamp(when), message);
    return line;
}

void ComposeLogLineInto(std::string& out, std::string_view timestamp, std::wstring_view message) {
    out.assign(timestamp);
    AppendUtf8(out, message);
    out += "\r\n";
}

std::wstring LogFileName(const LocalTime& day) {
    const std::string date = FormatDate(day);
    return std::wstring(date.begin(), date.end()) + L".log";
}

}  // namespace pintle
