#include "common/format.h"

#include <cstdio>
#include <vector>

namespace pintle {
namespace {

std::wstring Fixed(double v, int precision) {
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", precision, v);
    std::wstring out;
    if (n > 0) {
        for (int i = 0; i < n && i < static_cast<int>(sizeof buf) - 1; ++i) out.push_back(static_cast<wchar_t>(buf[i]));
    }
    return out;
}

}  // namespace

std::wstring FormatText(std::wstring_view format, std::initializer_list<FormatArg> args) {
    std::wstring out;
    const FormatArg* next = args.begin();
    const FormatArg* end = args.end();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c != L'%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        std::size_t j = i + 1;
        if (format[j] == L'%') {
            out.push_back(L'%');
            i = j;
            continue;
        }
        int precision = 6;
        if (format[j] == L'.') {
            precision = 0;
            ++j;
            while (j < format.size() && format[j] >= L'0' && format[j] <= L'9') {
                precision = precision * 10 + (format[j] - L'0');
                if (precision > 60) precision = 60;
                ++j;
            }
        }
        if (j >= format.size() || (format[j] != L'd' && format[j] != L's' && format[j] != L'f')) {
            out.push_back(c);
            continue;
        }
        const wchar_t conv = format[j];
        i = j;
        if (next == end) continue;  // a missing argument prints nothing
        const FormatArg& a = *next++;
        switch (conv) {
        case L'd':
            if (a.kind_ == FormatArg::Int) out += std::to_wstring(a.i_);
            else if (a.kind_ == FormatArg::Real) out += std::to_wstring(static_cast<long long>(a.d_));
            else out += a.s_;
            break;
        case L'f':
            if (a.kind_ == FormatArg::Real) out += Fixed(a.d_, precision);
            else if (a.kind_ == FormatArg::Int) out += Fixed(static_cast<double>(a.i_), precision);
            else out += a.s_;
            break;
        default:
            if (a.kind_ == FormatArg::Text) out += a.s_;
            else if (a.kind_ == FormatArg::Int) out += std::to_wstring(a.i_);
            else out += Fixed(a.d_, 6);
            break;
        }
    }
    return out;
}

}  // namespace pintle
