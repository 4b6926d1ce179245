// Code-page conversion for the native build. The ANSI code page is played
// by Latin-1: every byte is one character of the same value, so any byte
// string survives a round trip, as GBK digits and ASCII do on Windows.
#include "common/text.h"

namespace pintle {

std::wstring AnsiToWide(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (const char c : text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string WideToAnsi(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t c : text) out.push_back(static_cast<uint32_t>(c) <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace pintle
