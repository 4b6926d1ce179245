#include "script.h"

#include <cwchar>

namespace pintle_call {

std::vector<std::wstring> SplitWords(const std::wstring& line) {
    std::vector<std::wstring> words;
    std::wstring cur;
    bool quoted = false, any = false;
    for (wchar_t c : line) {
        if (c == L'"') {
            quoted = !quoted;
            any = true;
            continue;
        }
        if (!quoted && c == L'#' && cur.empty() && !any) break;
        if (!quoted && (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n')) {
            if (any) words.push_back(cur);
            cur.clear();
            any = false;
            continue;
        }
        cur.push_back(c);
        any = true;
    }
    if (any) words.push_back(cur);
    return words;
}

bool ParseNumber(const std::wstring& text, double& out) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    out = std::wcstod(text.c_str(), &end);
    return end != nullptr && *end == L'\0';
}

std::vector<double> ParseList(const std::wstring& text, bool& ok) {
    std::vector<double> values;
    ok = true;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto comma = text.find(L',', start);
        const std::wstring item = text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        double v = 0;
        if (!ParseNumber(item, v)) {
            ok = false;
            return {};
        }
        values.push_back(v);
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    return values;
}

}  // namespace pintle_call
