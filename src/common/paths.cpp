#include "common/paths.h"

namespace pintle {

std::wstring DirectoryPart(std::wstring_view path) {
    const auto pos = path.find_last_of(L"\\/");
    if (pos == std::wstring_view::npos) {
        // "C:name" keeps its drive.
        if (path.size() >= 2 && path[1] == L':') return std::wstring(path.substr(0, 2));
        return {};
    }
    return std::wstring(path.substr(0, pos + 1));
}

std::wstring FileNamePart(std::wstring_view path) {
    const auto pos = path.find_last_of(L"\\/:");
    return std::wstring(pos == std::wstring_view::npos ? path : path.substr(pos + 1));
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace pintle
