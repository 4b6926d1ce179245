// The --screening option and the bytes of a result file. Pure C++.
#include "screening_files.h"

namespace kovalt {

std::optional<ScreeningFile> ParseScreeningOption(const std::wstring& text) {
    const auto first = text.find(L':');
    const auto second = first == std::wstring::npos ? first : text.find(L':', first + 1);
    if (second == std::wstring::npos) return std::nullopt;
    ScreeningFile file;
    file.kind = text.substr(0, first);
    if (file.kind != L"WenCai" && file.kind != L"HotStocks" && file.kind != L"AI") return std::nullopt;
    const std::wstring number = text.substr(first + 1, second - first - 1);
    if (number.empty() || number.size() > 9) return std::nullopt;
    for (const wchar_t c : number) {
        if (c < L'0' || c > L'9') return std::nullopt;
        file.number = file.number * 10 + (c - L'0');
    }
    const std::wstring codes = text.substr(second + 1);
    std::string code;
    for (std::size_t i = 0; i <= codes.size(); ++i) {
        if (i == codes.size() || codes[i] == L',') {
            if (code.empty() && !codes.empty()) return std::nullopt;
            if (!code.empty()) file.codes.push_back(code);
            code.clear();
            continue;
        }
        if (codes[i] <= L' ' || codes[i] > L'~') return std::nullopt;
        code.push_back(static_cast<char>(codes[i]));
    }
    return file;
}

std::string ScreeningFileBytes(const ScreeningFile& file) {
    std::string bytes;
    for (const auto& code : file.codes) bytes += code + "\tkovalt\r\n";
    return bytes;
}

}  // namespace kovalt
