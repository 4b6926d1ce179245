#include "common/text.h"

#include <windows.h>

#include <cstdint>

namespace pintle {

std::wstring AnsiToWide(std::string_view text) {
    if (text.empty()) return {};
    // The common label or code needs no trip through the system's tables.
    if (IsAscii(text)) return std::wstring(text.begin(), text.end());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string WideToAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    bool ascii = true;
    for (const wchar_t c : text) ascii = ascii && static_cast<uint32_t>(c) < 0x80;
    if (ascii) {
        std::string out(text.size(), '\0');
        for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
        return out;
    }
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

}  // namespace pintle
