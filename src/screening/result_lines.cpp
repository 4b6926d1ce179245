// The line and field rules of the assistant's result files. Byte-level, no
// Windows.
#include "screening/screening.h"

namespace pintle {

void ScreeningCodeReader::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (c == '\n') {
            EndLine();
        } else if (c == '\r') {
            // Dropped wherever it stands: CR LF files read as LF files.
        } else {
            line_has_bytes_ = true;
            if (c == '\t') {
                past_tab_ = true;
            } else if (!past_tab_) {
                field_.push_back(c);
            }
        }
    }
}

void ScreeningCodeReader::EndLine() {
    // A line that begins with a TAB keeps its empty code, which matches nothing.
    if (line_has_bytes_) codes_.push_back(std::move(field_));
    field_.clear();
    past_tab_ = false;
    line_has_bytes_ = false;
}

std::vector<std::string> ScreeningCodeReader::Finish() {
    EndLine();
    std::vector<std::string> codes = std::move(codes_);
    codes_.clear();
    return codes;
}

}  // namespace pintle
